#pragma once

#include "platform/folder_browser.h"

#include <windows.h>

namespace qm::win32 {

// SHBrowseForFolder, owned by the given window, file-system directories only,
// nothing preselected. Modal for the whole program: the calling thread's
// windows are disabled while it is up.
class ShellFolderBrowser : public FolderBrowser {
public:
    explicit ShellFolderBrowser(HWND owner) : owner_(owner) {}
    std::optional<std::string> PickFolder(std::string_view title) override;

private:
    HWND owner_;
};

}  // namespace qm::win32
