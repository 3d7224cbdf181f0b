#pragma once

#include "platform/service_manager.h"
#include "platform/waiting.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm::services {

// Access rights and codes, with the platform's values.
inline constexpr std::uint32_t kManagerAllAccess = 0xF003F;   // SC_MANAGER_ALL_ACCESS
inline constexpr std::uint32_t kManagerConnect = 0x0001;      // SC_MANAGER_CONNECT
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;   // SERVICE_ALL_ACCESS
inline constexpr std::uint32_t kServiceQueryStatus = 0x0004;  // SERVICE_QUERY_STATUS
inline constexpr std::uint32_t kControlStop = 1;              // SERVICE_CONTROL_STOP
inline constexpr std::string_view kActiveDatabase = "ServicesActive";

// The service manager's answer to opening a service that is not installed
// (ERROR_SERVICE_DOES_NOT_EXIST).
inline constexpr std::uint32_t kServiceDoesNotExist = 1060;

// Current-state values of a service.
inline constexpr std::uint32_t kStopped = 1;
inline constexpr std::uint32_t kStartPending = 2;
inline constexpr std::uint32_t kStopPending = 3;
inline constexpr std::uint32_t kRunning = 4;
inline constexpr std::uint32_t kContinuePending = 5;
inline constexpr std::uint32_t kPausePending = 6;
inline constexpr std::uint32_t kPaused = 7;

// The waits poll once a second: the stop sleeps a whole second before each
// query, the start half a second on either side of its message pump.
inline constexpr unsigned kStopPollMs = 1000;
inline constexpr unsigned kStartHalfPollMs = 500;

// A service that hangs in a pending state would otherwise keep its caller
// polling for good. Five minutes is far longer than any healthy service
// takes to start or stop (the platform's own patience is shorter), so a cap
// this long only ever ends a wait on a service that is stuck.
inline constexpr std::chrono::minutes kPendingWaitCap{5};
inline constexpr int kMaxPendingPolls =
    static_cast<int>(std::chrono::milliseconds(kPendingWaitCap).count() / kStopPollMs);

// Results of the start, compared exactly by their callers.
inline constexpr std::string_view kStartSucceeded = "success";
inline constexpr std::string_view kStartFailed = "failed";

// The word the query yields for a current-state value.
std::string_view ServiceStateWord(std::uint32_t state);
// The same state as the window shows it to the user: "运行中", "已停止", ...
std::string_view ServiceStateInWords(std::uint32_t state);

// The error sentences of the query.
inline constexpr std::string_view kCannotOpenManager = "Can not open the service control manager";
std::string CannotOpenService(std::string_view name);

// Asks the service to stop and waits while it is stop-pending (at most
// kPendingWaitCap). Returns at once when the request is refused; it never
// says how things ended: ask GetServiceState for that.
void StopServies(ServiceManager& manager, Waiting& waiting, std::string_view name);

// Starts the service and waits while it is start-pending (at most
// kPendingWaitCap): "success" when it was then seen running, else "failed".
// An empty name names no service and fails without asking the manager.
std::string RunService(ServiceManager& manager, Waiting& waiting, std::string_view name);

// The service's state word, "notQuery" when the query failed, or one of the
// two error sentences when the manager or the service did not open. Needs
// only connect and query rights.
std::string GetServiceState(ServiceManager& manager, std::string_view name);

// Whether the service is down: stopped, or not installed at all. A manager or
// service that refuses to answer (access denied, say) tells us nothing, so
// that is not down; nor is any state but stopped.
bool IsStoppedOrAbsent(ServiceManager& manager, std::string_view name);

}  // namespace qm::services
