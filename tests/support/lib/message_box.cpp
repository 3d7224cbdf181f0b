#include "support/lib/message_box.h"

#include "support/lib/controls.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

#include <array>
#include <utility>

namespace qm::test {
namespace {

constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 1088;  // the static that shows the box's icon, absent without one

MessageBoxIcon RecogniseIcon(HICON shown) {
    // LoadIcon(NULL, IDI_...) hands out the system's shared icons; on Windows
    // their handles are the same in every process. Anything else we cannot name.
    const std::array<std::pair<LPCWSTR, MessageBoxIcon>, 4> known = {{
        {IDI_INFORMATION, MessageBoxIcon::Information},
        {IDI_WARNING, MessageBoxIcon::Warning},
        {IDI_ERROR, MessageBoxIcon::Error},
        {IDI_QUESTION, MessageBoxIcon::Question},
    }};
    for (const auto& [id, icon] : known)
        if (shown && LoadIconW(nullptr, id) == shown) return icon;
    return MessageBoxIcon::Unrecognised;
}

bool IsDialogWithTextStatic(HWND window) {
    return ClassNameOf(window) == L"#32770" && GetDlgItem(window, kTextId) != nullptr;
}

}  // namespace

const wchar_t* NameOf(MessageBoxIcon icon) {
    switch (icon) {
        case MessageBoxIcon::None: return L"none";
        case MessageBoxIcon::Information: return L"information";
        case MessageBoxIcon::Warning: return L"warning";
        case MessageBoxIcon::Error: return L"error";
        case MessageBoxIcon::Question: return L"question";
        case MessageBoxIcon::Unrecognised: return L"unrecognised";
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
    if (HWND iconStatic = GetDlgItem(box, kIconId)) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutW(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                            static_cast<UINT>(kSendTimeout.count()), &icon);
        info.icon = RecogniseIcon(reinterpret_cast<HICON>(icon));
    }
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
