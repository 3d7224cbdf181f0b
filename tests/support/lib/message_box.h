#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace qm::test {

enum class MessageBoxIcon { None, Information, Warning, Error, Question, Unrecognised };
const wchar_t* NameOf(MessageBoxIcon icon);

// One open message box as the user sees it.
struct MessageBoxInfo {
    HWND handle = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
    // Which icon: told by its handle on Windows, by its pixels on a display
    // that has them; Unrecognised under Wine's null display driver.
    MessageBoxIcon icon = MessageBoxIcon::None;
    std::vector<std::wstring> buttons;  // captions, in the box's order
};

// A message box is a top-level dialog (#32770) with the text static (id
// 0xFFFF) and without the folder browser's tree. Found among the process's
// windows: its owner is whatever window the program passed, or none.
bool IsMessageBox(HWND window);
HWND FindMessageBox(DWORD processId);
HWND WaitForMessageBox(DWORD processId, std::chrono::milliseconds bound = std::chrono::seconds(10));
bool NoMessageBoxOpen(DWORD processId);

MessageBoxInfo ReadMessageBox(HWND box);

// Answers the box with the button of that id (IDOK, IDYES...) or caption
// (exactly as shown, with its accelerator '&' if any) and waits within the bound
// for it to close.
bool AnswerMessageBox(HWND box, int buttonId = IDOK, std::chrono::milliseconds bound = std::chrono::seconds(5));
bool AnswerMessageBox(HWND box, const std::wstring& buttonCaption,
                      std::chrono::milliseconds bound = std::chrono::seconds(5));

}  // namespace qm::test
