// Calls to the service manager, one at a time in this process.
//
// Under Wine two threads calling at once make calls on open handles fail now
// and then (QueryServiceStatus with 6 or 183, while the manager logs that it
// found no context for the handle); made one at a time they never did. The
// status lines, the diagnosis and a click may all ask at once, so every call
// goes through here. The calls are short, and Windows loses nothing by it.
#pragma once

#include <windows.h>

#include <mutex>

namespace qm::win32 {

inline std::mutex& ServiceCallLock() {
    static std::mutex lock;
    return lock;
}

// Makes the call under the lock; the thread's last-error value is the call's.
template <typename Call>
auto ServiceManagerCall(Call&& call) {
    std::unique_lock hold(ServiceCallLock());
    auto result = call();
    const DWORD error = GetLastError();
    hold.unlock();
    SetLastError(error);
    return result;
}

}  // namespace qm::win32
