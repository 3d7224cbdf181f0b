#include "tomcat/tomcat_service.h"

#include <gtest/gtest.h>

#include "unit/services_fakes.h"

namespace qm::test {
namespace {

class TomcatServiceStopper : public ::testing::Test {
protected:
    CallLog log_;
    FakeServiceManager manager_{log_};
    FakeWaiting waiting_{log_};
    tomcat::ServiceControlStopper stopper_{manager_, waiting_};
};

TEST_F(TomcatServiceStopper, CountsAStoppedOrMissingServiceAsDown) {
    manager_.Add("tomcat6").states = {1};
    EXPECT_TRUE(stopper_.IsDown("tomcat6"));
    EXPECT_TRUE(stopper_.IsDown("not-installed"));
}

TEST_F(TomcatServiceStopper, CountsEveryOtherStateAsNotDown) {
    for (std::uint32_t state : {2u, 3u, 4u, 5u, 6u, 7u, 0u}) {
        manager_.Add("tomcat6").states = {state};
        EXPECT_FALSE(stopper_.IsDown("tomcat6")) << state;
    }
    manager_.Add("tomcat6").states = {std::nullopt};
    EXPECT_FALSE(stopper_.IsDown("tomcat6")) << "a failed query";
}

TEST_F(TomcatServiceStopper, IsNotDownWhenTheServiceIsThereButRefusesUs) {
    auto& tomcat6 = manager_.Add("tomcat6");
    tomcat6.states = {4};
    tomcat6.grantedAccess = 0;
    EXPECT_FALSE(stopper_.IsDown("tomcat6"));
}

TEST_F(TomcatServiceStopper, IsNotDownWhenTheManagerCannotBeOpened) {
    manager_.grantedManagerAccess = 0;
    EXPECT_FALSE(stopper_.IsDown("tomcat6"));
}

TEST_F(TomcatServiceStopper, StopsThroughTheWaitingStop) {
    manager_.Add("tomcat6").states = {3, 1};
    stopper_.Stop("tomcat6");
    EXPECT_EQ(CountStartingWith(log_, "Control("), 1u);
    EXPECT_EQ(CountStartingWith(log_, "Sleep(1000)"), 2u);
    EXPECT_TRUE(manager_.OpenHandles().empty());
}

}  // namespace
}  // namespace qm::test
