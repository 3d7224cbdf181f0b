// The lines that say at a glance how Tomcat and the picked SQL Server
// instance are: read on a thread of their own, since a look at the service
// manager or a file of the installation may take its time, and shown when the
// window takes the answer. One read at a time; a line that an action is
// using to say what it waits for is left to it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace qm::ui {

class StatusLines {
public:
    // An answer is announced by posting doneMessage to the window, which then calls Done.
    StatusLines(HWND window, UINT doneMessage);
    StatusLines(const StatusLines&) = delete;
    StatusLines& operator=(const StatusLines&) = delete;
    // A read still under way drops its answer.
    ~StatusLines();

    // again: the installation and server.xml are read anew too, not only the
    // service and the listeners.
    void ReadTomcat(HWND line, bool again);
    void ReadSql(HWND line, std::string instance);
    void Done();

    // While held, the lines are the action's: answers are dropped.
    void Hold(bool held) { held_ = held; }

private:
    struct Shared;
    void Start(HWND line, bool tomcat, bool again, std::string instance);

    std::shared_ptr<Shared> shared_;
    bool held_ = false;
};

}  // namespace qm::ui
