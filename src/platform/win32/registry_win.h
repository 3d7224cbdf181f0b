#pragma once

#include "platform/machine_environment_key.h"

namespace qm::win32 {

// HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager\Environment.
class MachineEnvironmentRegistry : public MachineEnvironment {
public:
    std::unique_ptr<MachineEnvironmentKey> OpenOrCreateKey() override;
};

}  // namespace qm::win32
