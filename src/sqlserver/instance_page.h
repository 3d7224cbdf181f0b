#pragma once

#include "platform/service_manager.h"
#include "platform/waiting.h"

#include <optional>
#include <string>
#include <string_view>

namespace qm::sqlserver {

// The enabled flags of the page's start and stop buttons. At most one is
// ever on, since every outcome sets both or neither.
struct ButtonStates {
    bool startEnabled = false;
    bool stopEnabled = false;
    bool operator==(const ButtonStates&) const = default;
};

// Both off: the state when the window is created, and after an empty pick.
inline constexpr ButtonStates kNoButtons{false, false};
inline constexpr ButtonStates kStartOnly{true, false};
inline constexpr ButtonStates kStopOnly{false, true};

// What a handler of the page applies: first the message, in an information
// box that the user closes, then the buttons. Either may be absent: no box,
// or buttons left as they are.
struct PageOutcome {
    std::optional<std::string> message;
    std::optional<ButtonStates> buttons;
    bool operator==(const PageOutcome&) const = default;
};

// The decisions, given what the service operations said. The messages name
// the instance as the list shows it.
PageOutcome OutcomeOfPick(std::string_view stateWord);
PageOutcome OutcomeOfStart(std::string_view instance, std::string_view startResult);
PageOutcome OutcomeOfStop(std::string_view instance, std::string_view stateAfterStop);

// The page's three handlers without the window: each takes the instance
// name picked in the list, runs the service operations on its service and
// says what to show. Holds no state of its own, so a handler that runs
// nested inside another's wait is independent of it.
class InstancePage {
public:
    InstancePage(ServiceManager& manager, Waiting& waiting) noexcept : manager_(manager), waiting_(waiting) {}

    PageOutcome Pick(std::string_view instance);
    PageOutcome Start(std::string_view instance);
    PageOutcome Stop(std::string_view instance);

private:
    ServiceManager& manager_;
    Waiting& waiting_;
};

}  // namespace qm::sqlserver
