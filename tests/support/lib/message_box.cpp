#include "support/lib/message_box.h"

#include "support/lib/controls.h"
#include "support/lib/screenshot.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

#include <array>
#include <optional>
#include <utility>

namespace qm::test {
namespace {

constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 1088;  // the static that shows the box's icon, absent without one

struct KnownIcon {
    LPCWSTR id;
    MessageBoxIcon icon;
};
const std::array<KnownIcon, 4> kKnownIcons = {{
    {IDI_INFORMATION, MessageBoxIcon::Information},
    {IDI_WARNING, MessageBoxIcon::Warning},
    {IDI_ERROR, MessageBoxIcon::Error},
    {IDI_QUESTION, MessageBoxIcon::Question},
}};

// Compares what the icon static shows on screen with each system icon drawn
// by us at its size over its background (the static's top-left pixel, which
// every one of these icons leaves transparent). Needs a display with pixels.
// nullopt: no pixels; None among the results: no close match.
std::optional<MessageBoxIcon> MatchIconPixels(HWND iconStatic) {
    RECT client{};
    GetClientRect(iconStatic, &client);
    MapWindowPoints(iconStatic, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    const auto shown = CapturePixels(client);
    if (!shown) return std::nullopt;
    MessageBoxIcon best = MessageBoxIcon::None;
    size_t fewestDifferences = shown->colours.size() / 50 + 1;  // a close match: under 2% of the pixels differ
    for (const auto& known : kKnownIcons) {
        const auto ours = RenderIcon(LoadIconW(nullptr, known.id), shown->width, shown->height, shown->At(0, 0));
        if (!ours) continue;
        size_t differences = 0;
        for (size_t i = 0; i < shown->colours.size(); ++i)
            if (shown->colours[i] != ours->colours[i]) ++differences;
        if (differences < fewestDifferences) {
            fewestDifferences = differences;
            best = known.icon;
        }
    }
    return best;
}

std::optional<MessageBoxIcon> RecogniseIconByPixels(HWND iconStatic) {
    // A box that has just appeared may not be painted yet: look again for a
    // moment before calling its icon unknown.
    std::optional<MessageBoxIcon> match;
    WaitUntil(
        [&] {
            match = MatchIconPixels(iconStatic);
            return !match || *match != MessageBoxIcon::None;
        },
        std::chrono::seconds(2), std::chrono::milliseconds(20));
    if (match && *match == MessageBoxIcon::None) return MessageBoxIcon::Unrecognised;
    return match;
}

MessageBoxIcon RecogniseIcon(HWND iconStatic) {
    const auto shown = reinterpret_cast<HICON>(SendWithTimeout(iconStatic, STM_GETICON).value_or(0));
    // Wine keeps the icon static in a box without an icon, holding none.
    if (!shown) return MessageBoxIcon::None;
    // On Windows the shared system icons have one handle in every process.
    // Wine gives each process its own copies, which another process can
    // neither compare nor draw, so there only the pixels on screen tell.
    for (const auto& known : kKnownIcons)
        if (shown && LoadIconW(nullptr, known.id) == shown) return known.icon;
    return RecogniseIconByPixels(iconStatic).value_or(MessageBoxIcon::Unrecognised);
}

bool IsDialogWithTextStatic(HWND window) {
    return ClassNameOf(window) == L"#32770" && GetDlgItem(window, kTextId) != nullptr;
}

}  // namespace

const wchar_t* NameOf(MessageBoxIcon icon) {
    switch (icon) {
    case MessageBoxIcon::None:
        return L"none";
    case MessageBoxIcon::Information:
        return L"information";
    case MessageBoxIcon::Warning:
        return L"warning";
    case MessageBoxIcon::Error:
        return L"error";
    case MessageBoxIcon::Question:
        return L"question";
    case MessageBoxIcon::Unrecognised:
        return L"unrecognised";
    }
    return L"?";
}

bool IsMessageBox(HWND window) {
    return IsDialogWithTextStatic(window) && !FindChildWindow(window, {L"SysTreeView32", std::nullopt});
}

HWND FindMessageBox(DWORD processId) {
    for (HWND window : TopLevelWindows(processId))
        if (IsWindowVisible(window) && IsMessageBox(window)) return window;
    return nullptr;
}

HWND WaitForMessageBox(DWORD processId, std::chrono::milliseconds bound) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox(processId)) != nullptr; }, bound);
    return box;
}

bool NoMessageBoxOpen(DWORD processId) {
    for (HWND window : TopLevelWindows(processId))
        if (IsMessageBox(window)) return false;
    return true;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.handle = box;
    info.owner = GetWindow(box, GW_OWNER);
    info.caption = ReadWindowText(box);
    if (HWND text = GetDlgItem(box, kTextId)) info.text = ReadWindowText(text);
    if (HWND iconStatic = GetDlgItem(box, kIconId)) info.icon = RecogniseIcon(iconStatic);
    for (HWND child : ChildWindows(box))
        if (ClassNameOf(child) == L"Button" && IsWindowVisible(child)) info.buttons.push_back(ReadWindowText(child));
    return info;
}

bool AnswerMessageBox(HWND box, int buttonId, std::chrono::milliseconds bound) {
    HWND button = GetDlgItem(box, buttonId);
    return button && PostClick(button) && WaitForWindowGone(box, bound);
}

bool AnswerMessageBox(HWND box, const std::wstring& buttonCaption, std::chrono::milliseconds bound) {
    HWND button = FindChildWindow(box, {L"Button", buttonCaption});
    return button && PostClick(button) && WaitForWindowGone(box, bound);
}

}  // namespace qm::test
