#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qm {

// The system's own words for its error codes (1067: the process ended
// unexpectedly), in the system's language, UTF-8.
class SystemMessages {
public:
    virtual ~SystemMessages() = default;
    // Nothing when the system has no text for the code.
    virtual std::optional<std::string> MessageOf(std::uint32_t code) = 0;
};

}  // namespace qm
