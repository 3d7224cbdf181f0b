#include "support/lib/remote_buffer.h"

#include <utility>

namespace qm::test {

std::optional<RemoteBuffer> RemoteBuffer::ForWindow(HWND window, size_t size) {
    DWORD processId = 0;
    if (!GetWindowThreadProcessId(window, &processId) || processId == 0) return std::nullopt;
    win32::UniqueKernelHandle process(OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process) return std::nullopt;
    void* address = VirtualAllocEx(process.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address) return std::nullopt;
    return RemoteBuffer(std::move(process), address, size);
}

RemoteBuffer::RemoteBuffer(win32::UniqueKernelHandle process, void* address, size_t size) noexcept
    : process_(std::move(process)), address_(address), size_(size) {}

RemoteBuffer::RemoteBuffer(RemoteBuffer&& other) noexcept
    : process_(std::move(other.process_)),
      address_(std::exchange(other.address_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

RemoteBuffer& RemoteBuffer::operator=(RemoteBuffer&& other) noexcept {
    if (this != &other) {
        Free();
        process_ = std::move(other.process_);
        address_ = std::exchange(other.address_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

RemoteBuffer::~RemoteBuffer() { Free(); }

void RemoteBuffer::Free() noexcept {
    if (address_ && process_) VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
    address_ = nullptr;
    size_ = 0;
}

bool RemoteBuffer::Write(const void* data, size_t size, size_t offset) const {
    if (!address_ || offset + size > size_) return false;
    SIZE_T written = 0;
    return WriteProcessMemory(process_.get(), AddressAt(offset), data, size, &written) && written == size;
}

bool RemoteBuffer::Read(void* data, size_t size, size_t offset) const {
    if (!address_ || offset + size > size_) return false;
    SIZE_T read = 0;
    return ReadProcessMemory(process_.get(), AddressAt(offset), data, size, &read) && read == size;
}

}  // namespace qm::test
