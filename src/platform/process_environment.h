#pragma once

#include <string>
#include <string_view>

namespace qm {

// This program's own environment variables.
class ProcessEnvironment {
public:
    virtual ~ProcessEnvironment() = default;
    // The current value; an unset variable reads as empty text.
    virtual std::string Get(std::string_view name) const = 0;
    virtual void Set(std::string_view name, std::string_view value) = 0;
};

}  // namespace qm
