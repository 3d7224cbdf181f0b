#pragma once

#include "platform/win32/service_calls_win.h"

#include <windows.h>

#include <utility>

namespace qm::win32 {

// One owner per OS handle. Traits name the handle type, the function that
// releases it and the value that means "no handle" (NULL for most kinds,
// INVALID_HANDLE_VALUE for the process snapshot and files; a null value never
// counts as a handle either). The thread's last-error value survives the
// handle's own operations, so a caller can still read what the creating call
// set (ERROR_ALREADY_EXISTS after CreateFileMapping, say) after storing it.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid() && value_ != Type{}; }

    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    void reset(Type value = Traits::Invalid()) noexcept {
        const DWORD lastError = GetLastError();
        if (*this) Traits::Close(value_);
        value_ = value;
        SetLastError(lastError);
    }

private:
    Type value_ = Traits::Invalid();
};

template <typename T, auto Closer>
struct NullIsInvalid {
    using Type = T;
    static Type Invalid() noexcept { return Type{}; }
    static void Close(Type h) noexcept { Closer(h); }
};

inline void CloseKernelHandle(HANDLE h) noexcept { CloseHandle(h); }
inline void CloseServiceManagerHandle(SC_HANDLE h) noexcept {
    ServiceManagerCall([h] { return CloseServiceHandle(h); });
}
inline void CloseRegistryKey(HKEY h) noexcept { RegCloseKey(h); }
inline void UnmapView(void* view) noexcept { UnmapViewOfFile(view); }
inline void DestroyWindowHandle(HWND h) noexcept { DestroyWindow(h); }
inline void DeleteFont(HFONT h) noexcept { DeleteObject(h); }
inline void DestroyIconHandle(HICON h) noexcept { DestroyIcon(h); }
inline void ReleaseLibrary(HMODULE h) noexcept { FreeLibrary(h); }

inline void FreeGlobalMemory(HGLOBAL h) noexcept { GlobalFree(h); }

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { FindClose(h); }
};

using UniqueKernelHandle = UniqueHandle<NullIsInvalid<HANDLE, CloseKernelHandle>>;
// The toolhelp snapshot and CreateFile fail with INVALID_HANDLE_VALUE, not NULL.
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueServiceHandle = UniqueHandle<NullIsInvalid<SC_HANDLE, CloseServiceManagerHandle>>;
using UniqueRegistryKey = UniqueHandle<NullIsInvalid<HKEY, CloseRegistryKey>>;
using UniqueMappedView = UniqueHandle<NullIsInvalid<void*, UnmapView>>;
using UniqueWindow = UniqueHandle<NullIsInvalid<HWND, DestroyWindowHandle>>;
using UniqueFont = UniqueHandle<NullIsInvalid<HFONT, DeleteFont>>;
using UniqueIcon = UniqueHandle<NullIsInvalid<HICON, DestroyIconHandle>>;
using UniqueModule = UniqueHandle<NullIsInvalid<HMODULE, ReleaseLibrary>>;
// FindFirstFile's search, which fails with INVALID_HANDLE_VALUE.
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueGlobalMemory = UniqueHandle<NullIsInvalid<HGLOBAL, FreeGlobalMemory>>;

// The screen's device context, released when the object goes.
class ScreenDc {
public:
    ScreenDc() noexcept : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

}  // namespace qm::win32
