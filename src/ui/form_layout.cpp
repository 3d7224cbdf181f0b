#include "ui/form_layout.h"

#include <array>

namespace qm::ui {
namespace {

#define QM_CONTROL_ROW(name, kind, parent, caption, left, top, width, height, font, tabOrder, enabled, handler) \
    ControlSpec{#name, ControlKind::kind, parent, caption, left, top, width, height, font, tabOrder, enabled},
constexpr ControlSpec kControls[] = {QM_MAIN_WINDOW_CONTROLS(QM_CONTROL_ROW)};
#undef QM_CONTROL_ROW

}  // namespace

std::span<const ControlSpec> MainWindowControls() { return kControls; }

int ScaleToDpi(int designPixels, int dpi) {
    // Rounded half away from zero, as MulDiv does.
    const long long scaled = static_cast<long long>(designPixels) * dpi;
    const long long half = kDesignDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kDesignDpi : -((-scaled + half) / kDesignDpi));
}

Point CentredOnScreen(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
    return {(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2};
}

}  // namespace qm::ui
