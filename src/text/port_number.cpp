#include "text/port_number.h"

#include <algorithm>

#include "text/ascii.h"

namespace qm::text {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::size_t kMostPortDigits = 5;

}  // namespace

std::optional<unsigned> PortValue(std::string_view digits) {
    if (!std::all_of(digits.begin(), digits.end(), IsDigit)) return std::nullopt;
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.size() > kMostPortDigits) return std::nullopt;
    unsigned value = 0;
    for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > kHighestPort) return std::nullopt;
    return value;
}

bool IsNumber(std::string_view text) {
    const std::string_view trimmed = TrimmedOfControls(text);
    return std::all_of(trimmed.begin(), trimmed.end(), IsDigit);
}

std::optional<unsigned> PortNumber(std::string_view text) {
    text = Trimmed(text, " ");
    if (text.empty() || text.size() > kMostPortDigits) return std::nullopt;
    return PortValue(text);
}

}  // namespace qm::text
