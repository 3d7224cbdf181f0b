#pragma once

#include <span>
#include <string_view>

namespace qm::ui {

// The main window is built from one table: a row per control, in the order
// the controls are created (parents before children, siblings in tab order).
// Positions and sizes are pixels of the 96 dpi design, relative to the page
// or group box that holds the control.

enum class ControlKind {
    PageControl,
    Page,
    GroupBox,
    Button,
    Edit,
    Label,
    DropDownList,
    Picture,
    ReportList,
    ReadOnlyText,  // several lines, wrapped, scrolled when longer than the box
};

// What a control raises. The window maps each to its handler member.
enum class ControlEvent {
    None,
    cxButton1Click,
    cxButton2Click,
    cxButton3Click,
    cxButton4Click,
    cxButton5Click,
    cxButton6Click,
    cxButton7Click,
    cxButton8Click,
    cxButton9Click,
    cxButton10Click,
    cxButton11Click,
    cxButton12Click,
    btn_portClick,
    ServiceComboBoxChange,
    cxButton13Click,
    cxButton14Click,
    DiagnoseButtonClick,
    CopyReportButtonClick,
    RepairButtonClick,
};

struct FontSpec {
    std::string_view face;  // empty: the control has no font of its own
    int height = 0;         // character height in pixels at 96 dpi
    bool bold = false;

    bool operator==(const FontSpec&) const = default;
};

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view parent;   // empty: the window itself
    std::string_view caption;  // caption, page tab text or initial text
    int left, top;
    int width, height;  // 0 x 0: sized by its content (labels) or its parent (pages)
    FontSpec font;
    int tabOrder;  // -1: never takes the focus
    bool enabled;
    ControlEvent event;
};

inline constexpr int kClientWidth = 377;
inline constexpr int kClientHeight = 363;
inline constexpr int kDesignDpi = 96;

// All controls of the main window: the 34 of its five original pages and the
// diagnosis page's.
std::span<const ControlSpec> MainWindowControls();

// Design pixels at the window's dpi, rounded to the nearest pixel.
int ScaleToDpi(int designPixels, int dpi);

struct Point {
    int x, y;
};

// Where the window goes when first shown: centred on the virtual screen by
// halving the free space, truncated toward zero (no monitor offset added).
Point CentredOnScreen(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

}  // namespace qm::ui
