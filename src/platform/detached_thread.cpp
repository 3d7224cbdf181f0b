#include "platform/detached_thread.h"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#else
#include <thread>
#endif

namespace qm {

#if defined(_WIN32)

namespace {

void __cdecl RunWork(void* argument) {
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(argument));
    (*work)();
}

}  // namespace

// The C runtime's own thread start, not std::thread: under Wine on a busy
// machine, MinGW's thread library at times started a detached thread only
// after ten seconds, or let it crash at its start; the runtime's start did
// neither in the same trials. _beginthread closes its handle when the thread
// ends, so nothing is left to close here.
void StartDetached(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    if (_beginthread(RunWork, 0, owned.get()) == static_cast<std::uintptr_t>(-1))
        throw std::system_error(errno, std::generic_category(), "_beginthread");
    owned.release();
}

#else

void StartDetached(std::function<void()> work) { std::thread(std::move(work)).detach(); }

#endif

}  // namespace qm
