#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

// Buttons. The click is posted: a send would wait for the click handler, and
// a handler that opens a message box does not return until the box is
// answered. A button that is disabled or not visible is not clicked (false),
// as a mouse could not click it: Wine's BM_CLICK runs the handler of a
// disabled button all the same.
bool PostClick(HWND button);
// Posts a click to the Button below parent whose caption is exactly caption;
// false when there is none.
bool ClickButton(HWND parent, const std::wstring& caption);

// Clicks the middle of the window with the mouse itself (SendInput: move,
// left button down, up). Unlike a posted BM_CLICK this goes through the
// system's input handling, so whatever a user's click would hit gets it: a
// disabled window, or one covered by another, takes nothing. Whether the
// system took the input.
bool MouseClick(HWND window);

// Tab control (SysTabControl32).
int TabCount(HWND tab);
std::vector<std::wstring> TabCaptions(HWND tab);
int CurrentTab(HWND tab);                              // -1: none
std::optional<RECT> TabItemRect(HWND tab, int index);  // in the tab control's client coordinates
// Clicks the page's tab with the mouse (posted button down and up at the
// centre of its rectangle) and waits within the bound until it is the current
// page. The control then notifies its own parent in its own process, which is
// the only way the parent hears of it: Wine drops a WM_NOTIFY sent across
// processes, and TCM_SETCURFOCUS from outside leaves the control broken.
bool SelectTab(HWND tab, int index, std::chrono::milliseconds bound = std::chrono::seconds(5));

// Combo box, drop-down list.
int ComboCount(HWND combo);
std::vector<std::wstring> ComboItems(HWND combo);
int ComboSelection(HWND combo);  // CB_ERR (-1): none
// Selects the item and tells the parent as a user's choice would
// (CBN_SELCHANGE); CB_SETCURSEL alone notifies nobody. The notification is
// posted, so the caller waits for its effect.
bool SelectComboItem(HWND combo, int index);

// List view in report style: the text of every cell, row by row, for the
// first `columns` columns (LVM_GETITEMTEXTW through a buffer in the target).
std::vector<std::vector<std::wstring>> ReportRows(HWND list, int columns);
int ReportRowCount(HWND list);

// Edit: replaces the text (WM_SETTEXT, marshalled by the system).
bool SetEditText(HWND edit, const std::wstring& text);

}  // namespace qm::test
