#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "diagnosis/report.h"
#include "platform/process_environment.h"
#include "platform/system_inspection.h"
#include "platform/instance_name_source.h"
#include "platform/system_messages.h"
#include "platform/loopback_network.h"

namespace qm::diagnosis {

// Everything the checks look at.
struct Inspectors {
    ProcessEnvironment& environment;
    RegistryReader& registry;
    FileInspector& files;
    ServiceInspector& services;
    NetworkInspector& network;
    ProcessInspector& processes;
    RightsInspector& rights;
    InstanceNameSource& instances;
    DatagramPort& datagrams;
    TcpConnector& connector;
    SystemMessages& messages;
};

// Runs every check and returns the rows in report order. Changes nothing on
// the machine; a check that can't be made says so in its own row.
std::vector<Row> Diagnose(const Inspectors& inspectors);

// One set of views of the machine, owned by whoever holds it.
class Machine {
public:
    virtual ~Machine() = default;
    virtual Inspectors View() = 0;
};
using MachineOpener = std::function<std::unique_ptr<Machine>()>;

// How long one group of checks may take: a path on an unreachable share
// costs a network time-out per look, and a named pipe can hold a read for ever.
// A busy machine's service manager and listener tables once took over 5 s.
inline constexpr std::chrono::milliseconds kGroupBound{10000};

// The checks of Diagnose, each group on a thread of its own and waited for
// at most `bound`. A group past its bound is left to its thread, together
// with the views it uses; a row in place of its rows says that it could not
// be checked (and which file it was reading), and the groups after it go on
// with views newly opened. Never waits longer than the bound per group.
// A timer is told of each group as it ends or is left behind, with the time
// the run spent on it: where a slow diagnosis spends its time.
using GroupTimer = std::function<void(std::string_view group, std::chrono::steady_clock::duration spent)>;
std::vector<Row> DiagnoseWithin(const MachineOpener& open, std::chrono::milliseconds bound = kGroupBound,
                                const GroupTimer& timer = {});

struct StartAttempt;
// The same, with the rows of a start that failed ahead of all others.
std::vector<Row> DiagnoseWithin(const MachineOpener& open, const StartAttempt& attempt,
                                std::chrono::milliseconds bound = kGroupBound);

}  // namespace qm::diagnosis
