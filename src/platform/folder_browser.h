#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// The shell's modal folder browser.
class FolderBrowser {
public:
    virtual ~FolderBrowser() = default;
    // Shows the browser with title above the folder tree; the chosen
    // directory's file-system path, or nothing when the user cancels or the
    // browser can't be shown.
    virtual std::optional<std::string> PickFolder(std::string_view title) = 0;
};

}  // namespace qm
