#include "ui/action_gate.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace qm::ui {
namespace {

TEST(ActionGate, DropsAnActionThatComesDuringAnotherOnesWait) {
    ActionGate gate;
    std::vector<std::string> ran;
    // The second click arrives through the pump of the first one's wait.
    const bool first = gate.Run([&] {
        ran.push_back("start service");
        EXPECT_TRUE(gate.Busy());
        EXPECT_FALSE(gate.Run([&] { ran.push_back("stop"); }));
        ran.push_back("start done");
    });
    EXPECT_TRUE(first);
    EXPECT_FALSE(gate.Busy());
    EXPECT_TRUE(gate.Run([&] { ran.push_back("stop"); }));
    EXPECT_EQ(ran, (std::vector<std::string>{"start service", "start done", "stop"}));
}

TEST(ActionGate, OpensAgainAfterAnActionThatThrows) {
    ActionGate gate;
    EXPECT_THROW(gate.Run([] { throw std::runtime_error("refused"); }), std::runtime_error);
    EXPECT_FALSE(gate.Busy());
    bool ran = false;
    EXPECT_TRUE(gate.Run([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace qm::ui
