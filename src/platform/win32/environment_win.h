#pragma once

#include "platform/process_environment.h"

namespace qm::win32 {

class CurrentProcessEnvironment : public ProcessEnvironment {
public:
    std::string Get(std::string_view name) const override;
    void Set(std::string_view name, std::string_view value) override;
};

}  // namespace qm::win32
