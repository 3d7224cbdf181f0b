#include "support/lib/processes.h"

#include "platform/win32/wide_text.h"
#include "support/lib/wait.h"

#include <atomic>
#include <fstream>
#include <sstream>

namespace qm::test {

ScratchDirectory::ScratchDirectory() {
    // Unique across the test processes of one run, which share the drive.
    static std::atomic<unsigned> counter{0};
    std::wstringstream name;
    name << L"C:\\qa-" << GetCurrentProcessId() << L"-" << GetTickCount64() << L"-" << counter++;
    path_ = name.str();
    std::filesystem::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory() {
    // A program that was just ended, or that ran with its working directory
    // in here, lets go of it only as it finishes exiting.
    WaitUntil(
        [this] {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
            return !std::filesystem::exists(path_, ignored);
        },
        std::chrono::seconds(5));
}

std::string ScratchDirectory::Text(const std::filesystem::path& relative) const {
    const auto full = relative.empty() ? path_ : path_ / relative;
    return win32::Narrow(full.wstring());
}

std::filesystem::path CopyProgram(const std::wstring& programFileName, const std::filesystem::path& destination) {
    std::filesystem::create_directories(destination.parent_path());
    std::filesystem::copy_file(SiblingProgramPath(programFileName), destination,
                               std::filesystem::copy_options::overwrite_existing);
    return destination;
}

StartedProgram StartSleeperAs(const std::filesystem::path& destination) {
    CopyProgram(L"qm_sleeper.exe", destination);
    return StartedProgram::Start(destination.wstring());
}

void CreateFileWithText(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace qm::test
