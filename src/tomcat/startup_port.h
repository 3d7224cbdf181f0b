#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>


namespace qm::tomcat {

// How long the port shown at start may take to read: as long as a group of
// the diagnosis, whose reads it is like.
inline constexpr std::chrono::milliseconds kStartupReadBound{10000};

// The port TomcatPort shows at start, read from server.xml on a thread of its
// own: a server.xml on a share that does not answer, or one whose read never
// returns, must not keep the window from answering (and every later start of
// the program, which the single-instance guard sends to this window). A port
// read after the bound, or a window gone first, is dropped: the edit then
// stays empty, as for a missing file.
class StartupPortRead {
public:
    // ReadConnectorPort over views of the machine that the read opens for
    // itself, so that a thread left behind keeps them.
    using Read = std::function<std::optional<std::string>()>;

    // Starts read on a thread of its own. announce is called on that thread
    // once the port is there to take; it must not wait for the window.
    static std::shared_ptr<StartupPortRead> Start(Read read, std::function<void()> announce,
                                                  std::chrono::milliseconds bound = kStartupReadBound);

    // The port, once; nothing before it came, after it was taken or closed,
    // or when the file showed none.
    std::optional<std::string> Take();
    // Whatever comes later is dropped.
    void Close();

private:
    StartupPortRead(std::function<void()> announce, std::chrono::steady_clock::time_point deadline)
        : announce_(std::move(announce)), deadline_(deadline) {}
    void Deliver(std::optional<std::string> port);

    std::mutex lock_;
    std::function<void()> announce_;
    std::chrono::steady_clock::time_point deadline_;
    std::optional<std::string> port_;
    bool closed_ = false;
};

}  // namespace qm::tomcat
