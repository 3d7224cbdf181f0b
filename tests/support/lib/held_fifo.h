#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qm::test {

// A FIFO made at a path from the Linux side and held open there for writing
// while the object lives, so that a program's read of it waits for data that
// never comes (a FIFO with no writer reads as empty at once). Removed again
// at the end. Only under Wine: elsewhere it is never made.
class HeldFifo {
public:
    explicit HeldFifo(const std::filesystem::path& path);
    ~HeldFifo();
    HeldFifo(const HeldFifo&) = delete;
    HeldFifo& operator=(const HeldFifo&) = delete;

    explicit operator bool() const { return descriptor_ >= 0; }

private:
    std::string unixPath_;
    std::intptr_t descriptor_ = -1;
};

}  // namespace qm::test
