#include "platform/win32/repair_ports_win.h"

#include "platform/win32/process_table_win.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>

namespace qm::win32 {
namespace {

class HeldProcess final : public EndableProcess {
public:
    explicit HeldProcess(UniqueKernelHandle process) : process_(std::move(process)) {}

    std::optional<std::uint64_t> StartTime() override { return StartTimeOf(process_.get()); }
    std::optional<std::string> ImagePath() override { return ImagePathOf(process_.get()); }
    bool End() override { return TerminateProcess(process_.get(), 1) != FALSE; }
    bool WaitForExit(std::chrono::milliseconds bound) override {
        return WaitForSingleObject(process_.get(), static_cast<DWORD>(bound.count())) == WAIT_OBJECT_0;
    }

private:
    UniqueKernelHandle process_;
};

}  // namespace

std::unique_ptr<EndableProcess> Win32ProcessEnder::Open(std::uint32_t id, OpenOutcome& outcome) {
    UniqueKernelHandle process(
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id));
    if (!process) {
        const DWORD error = GetLastError();
        outcome = error == ERROR_INVALID_PARAMETER ? OpenOutcome::Gone
                  : error == ERROR_ACCESS_DENIED   ? OpenOutcome::Denied
                                                   : OpenOutcome::Failed;
        return nullptr;
    }
    // A process that has ended but whose handles others still hold opens too.
    if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
        outcome = OpenOutcome::Gone;
        return nullptr;
    }
    outcome = OpenOutcome::Opened;
    return std::make_unique<HeldProcess>(std::move(process));
}

}  // namespace qm::win32
