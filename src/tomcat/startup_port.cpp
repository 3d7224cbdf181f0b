#include "tomcat/startup_port.h"

#include <exception>
#include <utility>

#include "platform/detached_thread.h"
#include "tomcat/server_xml_port.h"

namespace qm::tomcat {

std::shared_ptr<StartupPortRead> StartupPortRead::Start(std::string path, FilesOpener open,
                                                        std::function<void()> announce,
                                                        std::chrono::milliseconds bound) {
    std::shared_ptr<StartupPortRead> read(
        new StartupPortRead(std::move(announce), std::chrono::steady_clock::now() + bound));
    StartDetached([read, path = std::move(path), open = std::move(open)] {
        std::optional<std::string> port;
        // What goes wrong here is as good as no port: the window shows none.
        try {
            const std::unique_ptr<FileInspector> files = open();
            port = ReadConnectorPort(path, *files);
        } catch (...) {
        }
        read->Deliver(std::move(port));
    });
    return read;
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
