#include "diagnosis/pe_header.h"

#include <cstdint>

namespace qm::diagnosis {
namespace {

constexpr std::size_t kNewHeaderOffsetAt = 0x3C;
constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

}  // namespace

std::optional<Bitness> PeBitness(std::string_view head) {
    if (head.size() < kNewHeaderOffsetAt + 4 || head.substr(0, 2) != "MZ") return std::nullopt;
    const std::size_t peAt = LittleEndian(head, kNewHeaderOffsetAt, 4);
    if (peAt > head.size() || head.size() - peAt < 6) return std::nullopt;
    if (head.substr(peAt, 4) != std::string_view("PE\0\0", 4)) return std::nullopt;
    switch (LittleEndian(head, peAt + 4, 2)) {
    case kMachineI386:
        return Bitness::Bits32;
    case kMachineAmd64:
        return Bitness::Bits64;
    default:
        return std::nullopt;
    }
}

std::string_view BitnessText(Bitness bitness) { return bitness == Bitness::Bits32 ? "32 位" : "64 位"; }

}  // namespace qm::diagnosis
