// The network inspector against a listener the test holds itself.
#include "platform/win32/system_inspection_win.h"
#include "support/lib/listening_port.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qm {
namespace {

TEST(NetworkInspector, ListsAHeldPortAmongTheListeners) {
    test::ListeningPort held;
    ASSERT_NE(held.Port(), 0);
    win32::Win32NetworkInspector network;
    const auto listeners = network.Listeners();
    ASSERT_TRUE(listeners);
    EXPECT_TRUE(
        std::any_of(listeners->begin(), listeners->end(), [&](const TcpListener& l) { return l.port == held.Port(); }));
}

TEST(NetworkInspector, FindsAHeldPortTakenAndAReleasedOneFree) {
    test::ListeningPort held;
    ASSERT_NE(held.Port(), 0);
    win32::Win32NetworkInspector network;
    EXPECT_EQ(network.TryBind(held.Port()), BindOutcome::Taken);
    held.Release();
    EXPECT_EQ(network.TryBind(held.Port()), BindOutcome::Free);
    // The test bind itself let the port go at once.
    EXPECT_EQ(network.TryBind(held.Port()), BindOutcome::Free);
}

TEST(NetworkInspector, FindsAPortTakenThatOnlyAnIpv6ListenerHolds) {
    test::ListeningPort held(AF_INET6);
    if (held.Port() == 0) GTEST_SKIP() << "no IPv6 here";
    win32::Win32NetworkInspector network;
    EXPECT_EQ(network.TryBind(held.Port()), BindOutcome::Taken);
}

}  // namespace
}  // namespace qm
