#include "tomcat/startup_port.h"

#include <exception>
#include <utility>

#include "platform/detached_thread.h"

namespace qm::tomcat {

std::shared_ptr<StartupPortRead> StartupPortRead::Start(Read read, std::function<void()> announce,
                                                        std::chrono::milliseconds bound) {
    std::shared_ptr<StartupPortRead> pending(
        new StartupPortRead(std::move(announce), std::chrono::steady_clock::now() + bound));
    StartDetached([pending, read = std::move(read)] {
        std::optional<std::string> port;
        // What goes wrong here is as good as no port: the window shows none.
        try {
            port = read();
        } catch (...) {
        }
        pending->Deliver(std::move(port));
    });
    return pending;
}

void StartupPortRead::Deliver(std::optional<std::string> port) {
    const std::lock_guard hold(lock_);
    if (closed_ || !port || std::chrono::steady_clock::now() > deadline_) return;
    port_ = std::move(port);
    // Under the lock: Close cannot slip in between, so the window is still
    // there when told.
    announce_();
}

std::optional<std::string> StartupPortRead::Take() {
    const std::lock_guard hold(lock_);
    if (closed_) return std::nullopt;
    return std::exchange(port_, std::nullopt);
}

void StartupPortRead::Close() {
    const std::lock_guard hold(lock_);
    closed_ = true;
    port_.reset();
}

}  // namespace qm::tomcat
