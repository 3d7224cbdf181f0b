#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace qm::diagnosis {

enum class Bitness { Bits32, Bits64 };

// How many bytes of a file PeBitness wants: the DOS header points to the PE
// header, which linkers place well inside the first page.
inline constexpr std::size_t kPeHeadBytes = 4096;

// The bitness an executable or DLL was built for, from the machine field of
// its PE file header (x86 or x64); nothing for any other machine or for
// bytes that are no PE image.
std::optional<Bitness> PeBitness(std::string_view head);

// "32 位" or "64 位".
std::string_view BitnessText(Bitness bitness);

}  // namespace qm::diagnosis
