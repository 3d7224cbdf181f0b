#pragma once

namespace qm {

// Tells the other programs on the desktop that the environment settings
// changed, so that those that reload them (the shell, for one) pass the new
// values to the programs they start. Whether they listened is not known.
class EnvironmentBroadcast {
public:
    virtual ~EnvironmentBroadcast() = default;
    virtual void EnvironmentChanged() = 0;
};

}  // namespace qm
