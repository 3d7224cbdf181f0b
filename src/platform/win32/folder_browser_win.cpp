#include "platform/win32/folder_browser_win.h"

#include "platform/win32/modal_scope_win.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide_text.h"

#include <shlobj.h>

namespace qm::win32 {
namespace {

// The shell's three calls of a pick; any of them null when the shell is not there.
struct ShellCalls {
    decltype(SHGetMalloc)* getMalloc = SystemFunction<decltype(SHGetMalloc)>(L"shell32.dll", "SHGetMalloc");
    decltype(SHBrowseForFolderW)* browse =
        SystemFunction<decltype(SHBrowseForFolderW)>(L"shell32.dll", "SHBrowseForFolderW");
    decltype(SHGetPathFromIDListW)* pathOf =
        SystemFunction<decltype(SHGetPathFromIDListW)>(L"shell32.dll", "SHGetPathFromIDListW");
};

// The shell's allocator, released when done.
class ShellAllocator {
public:
    explicit ShellAllocator(const ShellCalls& shell) {
        if (!shell.getMalloc || FAILED(shell.getMalloc(&malloc_))) malloc_ = nullptr;
    }
    ~ShellAllocator() {
        if (malloc_) malloc_->Release();
    }
    ShellAllocator(const ShellAllocator&) = delete;
    ShellAllocator& operator=(const ShellAllocator&) = delete;
    IMalloc* get() const { return malloc_; }

private:
    IMalloc* malloc_ = nullptr;
};

// Memory from the shell's allocator, given back to it.
class ShellMemory {
public:
    ShellMemory(IMalloc* malloc, void* memory) : malloc_(malloc), memory_(memory) {}
    ~ShellMemory() {
        if (memory_) malloc_->Free(memory_);
    }
    ShellMemory(const ShellMemory&) = delete;
    ShellMemory& operator=(const ShellMemory&) = delete;
    void* get() const { return memory_; }

private:
    IMalloc* malloc_;
    void* memory_;
};

// Browsing an empty removable drive must not bring up the system's
// "no disk" box.
class CriticalErrorsFailQuietly {
public:
    CriticalErrorsFailQuietly() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsFailQuietly() { SetErrorMode(previous_); }
    CriticalErrorsFailQuietly(const CriticalErrorsFailQuietly&) = delete;
    CriticalErrorsFailQuietly& operator=(const CriticalErrorsFailQuietly&) = delete;

private:
    UINT previous_;
};

}  // namespace

std::optional<std::string> ShellFolderBrowser::PickFolder(std::string_view title) {
    const ShellCalls shell;
    if (!shell.browse || !shell.pathOf) return std::nullopt;
    const ShellAllocator allocator(shell);
    if (!allocator.get()) return std::nullopt;
    const ShellMemory buffer(allocator.get(), allocator.get()->Alloc(MAX_PATH * sizeof(wchar_t)));
    if (!buffer.get()) return std::nullopt;
    auto* path = static_cast<wchar_t*>(buffer.get());
    path[0] = L'\0';

    const auto wideTitle = Widen(title);
    BROWSEINFOW info{};
    info.hwndOwner = owner_;
    info.pidlRoot = nullptr;
    info.pszDisplayName = path;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = nullptr;

    PIDLIST_ABSOLUTE chosen = nullptr;
    {
        // Declared in this order so that the error mode is restored before
        // the windows come back.
        const ModalScope modal;
        const CriticalErrorsFailQuietly quiet;
        chosen = shell.browse(&info);
    }
    if (!chosen) return std::nullopt;
    const ShellMemory item(allocator.get(), chosen);
    // Without a path the buffer holds only the display name, which is no
    // directory.
    if (!shell.pathOf(chosen, path)) return std::nullopt;
    return Narrow(path);
}

}  // namespace qm::win32
