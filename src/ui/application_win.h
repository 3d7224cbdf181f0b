#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/waiting.h"
#include "ui/captions.h"

namespace qm::ui {

// The window layer's hold on the application: its zero-size owner window
// (which owns the main window and every box, and carries the application
// title), the message loop and the boxes every part of the program shows.

// Creates the owner window; its text is empty until SetTitle.
bool CreateOwnerWindow(HINSTANCE instance);
void DestroyOwnerWindow();
HWND OwnerWindow();
void SetTitle(std::string_view title);

// The window the owner restores and IsDialogMessage serves.
void SetMainWindow(HWND mainWindow);
// The control that gets the focus back when the application is restored.
void RememberFocus(HWND focus);

// Sees every message before the dialog keys do; true: it was handled. Empty: none.
void SetMessageFilter(std::function<bool(const MSG&)> filter);

// Takes and dispatches messages, waiting when none is pending, until a quit
// message has been taken (here or in a pump).
void RunMessageLoop();

// Handles every message pending right now as the loop does, then returns; it
// never waits. A quit message taken here is only recorded: the loop ends once
// control is back in it.
void PumpPendingMessages();
bool QuitRecorded();

// The boxes. All are owned by the owner window and modal for the whole
// program: the main window takes no input while one is up. The texts are UTF-8.
void ShowErrorBox(std::string_view message);     // stop icon, caption the application title
void ShowInformationBox(std::string_view text);  // information icon, caption kInformationCaption
void ShowPlainMessage(std::string_view text);    // no icon, button "OK", caption the application title
bool AskQuestion(std::string_view text);         // question icon, Yes and No, caption kInformationCaption: whether Yes

// Runs a handler at the one dispatch point: an error that escapes it is shown
// in the standard error box and the program goes on.
template <typename Handler>
void RunHandler(Handler&& handler) noexcept;

void ReportEscapedError() noexcept;  // call inside a catch block

template <typename Handler>
void RunHandler(Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportEscapedError();
    }
}

// Sleep and pump for the handlers that wait on the GUI thread.
class GuiThreadWaiting final : public Waiting {
public:
    void Sleep(unsigned milliseconds) override;
    void PumpPendingMessages() override;
};

}  // namespace qm::ui
