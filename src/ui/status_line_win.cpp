#include "ui/status_line_win.h"

#include <mutex>
#include <optional>

#include "platform/detached_thread.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/system_inspection_win.h"
#include "sqlserver/status_line.h"
#include "tomcat/status_line.h"
#include "ui/controls_win.h"

namespace qm::ui {

struct StatusLines::Shared {
    std::mutex lock;
    HWND window = nullptr;  // null once the window is going
    UINT doneMessage = 0;
    bool reading = false;
    std::optional<std::pair<HWND, std::string>> answer;
    // What the Tomcat line last read of the installation; used by one read at a time.
    tomcat::TomcatStatus tomcat;
};

StatusLines::StatusLines(HWND window, UINT doneMessage) : shared_(std::make_shared<Shared>()) {
    shared_->window = window;
    shared_->doneMessage = doneMessage;
}

StatusLines::~StatusLines() {
    const std::lock_guard hold(shared_->lock);
    shared_->window = nullptr;
}

void StatusLines::ReadTomcat(HWND line, bool again) { Start(line, true, again, {}); }

void StatusLines::ReadSql(HWND line, std::string instance) { Start(line, false, false, std::move(instance)); }

void StatusLines::Start(HWND line, bool tomcat, bool again, std::string instance) {
    if (!line || held_) return;
    {
        const std::lock_guard hold(shared_->lock);
        // A look that hangs (a share that does not answer) keeps the next one from starting.
        if (shared_->reading) return;
        shared_->reading = true;
    }
    std::shared_ptr<Shared> shared = shared_;
    StartDetached([shared, line, tomcat, again, instance = std::move(instance)]() noexcept {
        std::string text;
        try {
            win32::CurrentProcessEnvironment environment;
            win32::Win32FileInspector files;
            win32::Win32ServiceInspector services;
            if (tomcat) {
                win32::Win32NetworkInspector network;
                text = shared->tomcat.Read({environment, files, services, network}, again);
            } else {
                win32::Win32RegistryReader registry;
                text = sqlserver::ReadInstanceStatus(registry, services, instance);
            }
        } catch (...) {
            text.clear();
        }
        const std::lock_guard hold(shared->lock);
        shared->reading = false;
        if (!shared->window) return;
        shared->answer.emplace(line, std::move(text));
        PostMessageW(shared->window, shared->doneMessage, 0, 0);
    });
}

void StatusLines::Done() {
    std::optional<std::pair<HWND, std::string>> answer;
    {
        const std::lock_guard hold(shared_->lock);
        answer.swap(shared_->answer);
    }
    if (answer && !held_) SetControlText(answer->first, answer->second);
}

}  // namespace qm::ui
