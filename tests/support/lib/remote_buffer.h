#pragma once

#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <cstddef>
#include <optional>

namespace qm::test {

// Memory inside another process, for the control messages whose pointers the
// system does not marshal (TCM_GETITEM, TCM_GETITEMRECT, TVM_GETITEM,
// BFFM_SETSELECTION): we write the argument there, send the message with the
// remote address and read the answer back. Freed with the object.
class RemoteBuffer {
public:
    // A buffer of size bytes in the process that owns window; nullopt when the
    // process cannot be opened or the memory not allocated.
    static std::optional<RemoteBuffer> ForWindow(HWND window, size_t size);

    RemoteBuffer(RemoteBuffer&& other) noexcept;
    RemoteBuffer& operator=(RemoteBuffer&& other) noexcept;
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer();

    void* Address() const noexcept { return address_; }
    void* AddressAt(size_t offset) const noexcept { return static_cast<std::byte*>(address_) + offset; }
    LPARAM AsLParam(size_t offset = 0) const noexcept { return reinterpret_cast<LPARAM>(AddressAt(offset)); }
    size_t Size() const noexcept { return size_; }

    bool Write(const void* data, size_t size, size_t offset = 0) const;
    bool Read(void* data, size_t size, size_t offset = 0) const;

    template <typename T>
    bool WriteValue(const T& value, size_t offset = 0) const {
        return Write(&value, sizeof(T), offset);
    }
    template <typename T>
    bool ReadValue(T& value, size_t offset = 0) const {
        return Read(&value, sizeof(T), offset);
    }

private:
    RemoteBuffer(win32::UniqueKernelHandle process, void* address, size_t size) noexcept;
    void Free() noexcept;

    win32::UniqueKernelHandle process_;
    void* address_ = nullptr;
    size_t size_ = 0;
};

}  // namespace qm::test
