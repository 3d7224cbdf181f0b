#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace qm::test {

// The shell's folder browser (SHBrowseForFolder): a top-level dialog (#32770)
// with OK (1), Cancel (2) and a folder tree (SysTreeView32).
bool IsFolderBrowser(HWND window);
HWND FindFolderBrowser(DWORD processId);
// Waits within the bound for the browser to be up with its tree filled.
HWND WaitForFolderBrowser(DWORD processId, std::chrono::milliseconds bound = std::chrono::seconds(10));

// The instruction the program passed as the title (lpszTitle); empty if none.
std::wstring FolderBrowserInstruction(HWND browser);
// The text of the folder selected in the tree, as the tree shows it.
std::wstring FolderBrowserSelection(HWND browser);

// Selects path (BFFM_SETSELECTIONW), checks that the tree followed (trying
// once more if it did not: it missed once in a dozen runs under Wine), then
// confirms with OK and waits within the bound for the browser to close.
bool ChooseFolder(HWND browser, const std::wstring& path, std::chrono::milliseconds bound = std::chrono::seconds(10));
bool CancelFolderBrowser(HWND browser, std::chrono::milliseconds bound = std::chrono::seconds(10));

}  // namespace qm::test
