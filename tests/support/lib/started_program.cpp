#include "support/lib/started_program.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <map>

namespace qm::test {
namespace {

// Environment names compare without case on Windows: JAVA_HOME and Java_Home
// are one variable, so a change must replace whichever spelling we inherited.
struct NameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](wchar_t x, wchar_t y) { return std::towupper(x) < std::towupper(y); });
    }
};

struct EnvironmentStrings {
    wchar_t* block = GetEnvironmentStringsW();
    ~EnvironmentStrings() {
        if (block) FreeEnvironmentStringsW(block);
    }
};

}  // namespace

ProgramOptions& ProgramOptions::Argument(std::wstring argument) {
    arguments.push_back(std::move(argument));
    return *this;
}

ProgramOptions& ProgramOptions::SetVariable(std::wstring name, std::wstring value) {
    environmentChanges.emplace_back(std::move(name), std::move(value));
    return *this;
}

ProgramOptions& ProgramOptions::RemoveVariable(std::wstring name) {
    environmentChanges.emplace_back(std::move(name), std::nullopt);
    return *this;
}

ProgramOptions& ProgramOptions::ShowCommand(WORD command) {
    showCommand = command;
    return *this;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    // Backslashes are literal except before a quote, where they are doubled.
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring BuildEnvironmentBlock(const std::vector<std::pair<std::wstring, std::optional<std::wstring>>>& changes) {
    std::map<std::wstring, std::wstring, NameLess> variables;
    EnvironmentStrings ours;
    for (const wchar_t* entry = ours.block; entry && *entry; entry += wcslen(entry) + 1) {
        const std::wstring text = entry;
        // Entries such as "=C:=C:\work" keep their leading '=' as part of the name.
        const size_t equals = text.find(L'=', 1);
        if (equals == std::wstring::npos) continue;
        variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        variables.erase(name);
        if (value) variables.emplace(name, *value);
    }
    std::wstring block;
    for (const auto& [name, value] : variables) {
        block += name;
        block += L'=';
        block += value;
        block += L'\0';
    }
    if (variables.empty()) block += L'\0';
    block += L'\0';
    return block;
}

StartedProgram StartedProgram::Start(const std::wstring& programPath, const ProgramOptions& options) {
    StartedProgram program;
    program.commandLine_ = QuoteArgument(programPath);
    for (const auto& argument : options.arguments) program.commandLine_ += L' ' + QuoteArgument(argument);

    std::wstring environment = BuildEnvironmentBlock(options.environmentChanges);
    std::wstring commandLine = program.commandLine_;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = options.showCommand;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(),
                        options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), &startup,
                        &started)) {
        program.startError_ = GetLastError();
        return program;
    }
    program.process_.reset(started.hProcess);
    program.thread_.reset(started.hThread);
    program.processId_ = started.dwProcessId;
    return program;
}

StartedProgram& StartedProgram::operator=(StartedProgram&& other) noexcept {
    if (this != &other) {
        Terminate();
        process_ = std::move(other.process_);
        thread_ = std::move(other.thread_);
        processId_ = std::exchange(other.processId_, 0);
        startError_ = other.startError_;
        commandLine_ = std::move(other.commandLine_);
    }
    return *this;
}

StartedProgram::~StartedProgram() { Terminate(); }

bool StartedProgram::IsRunning() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

std::optional<DWORD> StartedProgram::WaitForExit(std::chrono::milliseconds bound) const {
    if (!process_) return std::nullopt;
    if (WaitForSingleObject(process_.get(), static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process_.get(), &exitCode)) return std::nullopt;
    return exitCode;
}

void StartedProgram::Terminate(UINT exitCode) {
    if (!IsRunning()) return;
    TerminateProcess(process_.get(), exitCode);
    // Ending is asynchronous; wait briefly so the next test finds no window of ours.
    WaitForSingleObject(process_.get(), 5000);
}

std::wstring SiblingProgramPath(const std::wstring& fileName) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return fileName;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1) + fileName;
}

}  // namespace qm::test
