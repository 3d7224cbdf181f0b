#pragma once

// Small stand-ins for the ports the Tomcat and environment logic works over.
// Each records what was done to it, in one shared journal where order matters.

#include "platform/broadcast.h"
#include "platform/folder_browser.h"
#include "platform/machine_environment_key.h"
#include "platform/process_environment.h"
#include "platform/process_table.h"
#include "platform/shell.h"
#include "tomcat/process_shutdown.h"
#include "fake_files.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qm::test {

using Journal = std::vector<std::string>;

struct StoredValue {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
};

// The machine environment key as a map of values, with faults to switch on.
class FakeMachineEnvironment : public MachineEnvironment {
public:
    explicit FakeMachineEnvironment(Journal& journal) : journal_(journal) {}

    std::map<std::string, StoredValue, std::less<>> values;
    std::map<std::string, std::string, std::less<>> texts;
    bool openFails = false;
    bool readFails = false;
    bool writeFails = false;
    bool keyOpen = false;

    void PutText(const std::string& name, std::uint32_t type, const std::string& text) {
        values[name] = {type, static_cast<std::uint32_t>(text.size() + 1)};
        texts[name] = text;
    }

    std::unique_ptr<MachineEnvironmentKey> OpenOrCreateKey() override;

private:
    class Key;
    Journal& journal_;
};

class FakeProcessEnvironment : public ProcessEnvironment {
public:
    explicit FakeProcessEnvironment(Journal* journal = nullptr) : journal_(journal) {}
    std::map<std::string, std::string, std::less<>> variables;
    mutable int reads = 0;

    std::string Get(std::string_view name) const override {
        ++reads;
        const auto found = variables.find(name);
        return found == variables.end() ? std::string() : found->second;
    }
    void Set(std::string_view name, std::string_view value) override {
        if (journal_) journal_->push_back("environment " + std::string(name) + "=" + std::string(value));
        variables[std::string(name)] = std::string(value);
    }

private:
    Journal* journal_;
};

class FakeBroadcast : public EnvironmentBroadcast {
public:
    explicit FakeBroadcast(Journal& journal) : journal_(journal) {}
    void EnvironmentChanged() override { journal_.push_back("broadcast"); }

private:
    Journal& journal_;
};

class FakeFolderBrowser : public FolderBrowser {
public:
    std::optional<std::string> choice;
    std::vector<std::string> titles;
    std::optional<std::string> PickFolder(std::string_view title) override {
        titles.emplace_back(title);
        return choice;
    }
};

class FakeServiceStopper : public tomcat::ServiceStopper {
public:
    explicit FakeServiceStopper(Journal* journal = nullptr) : journal_(journal) {}
    bool down = true;
    std::function<void()> duringStop;  // what a handler run inside the stop's wait does
    void Stop(std::string_view service) override {
        if (journal_) journal_->push_back("stop service " + std::string(service));
        if (duringStop) duringStop();
    }
    bool IsDown(std::string_view) override { return down; }

private:
    Journal* journal_;
};

struct FakeProcess {
    std::uint32_t id = 0;
    std::string exeName;
    std::optional<std::string> imagePath;  // nothing: the system won't tell it
    bool openable = true;
    bool refusesTermination = false;
};

// A process table whose processes end when asked, unless told otherwise.
class FakeProcessTable : public ProcessTable {
public:
    explicit FakeProcessTable(Journal* journal = nullptr) : journal_(journal) {}
    std::vector<FakeProcess> processes;
    std::set<std::uint32_t> ended;
    std::vector<std::uint32_t> terminateCalls;
    std::uint32_t ownId = 1;
    int openHandles = 0;
    std::chrono::milliseconds waited{0};  // all the bounds of the waits for an exit

    void Add(std::uint32_t id, std::string exeName, const std::string& path) {
        processes.push_back({id, std::move(exeName), path});
    }

    std::vector<ProcessEntry> Snapshot() override;
    std::unique_ptr<OpenedProcess> Open(std::uint32_t id) override;
    std::optional<std::string> ImagePath(std::uint32_t id) override;
    bool Terminate(std::uint32_t id) override;
    std::uint32_t OwnProcessId() const override { return ownId; }

private:
    class Opened;
    const FakeProcess* Find(std::uint32_t id) const;
    Journal* journal_;
};

// A file system of directories, files and links by their full paths, in
// UTF-16 as the system lists names; a link's target is never below it.
// Holds, releases and removals go into the journal, with every character past
// ASCII written \u{XXXX}.
class FakeShell : public Shell {
public:
    enum class Node { Directory, File, Link };
    explicit FakeShell(Journal* journal = nullptr) : journal_(journal) {}
    std::map<std::u16string, Node> nodes;
    bool listingFails = false;
    bool removalFails = false;
    std::set<std::u16string> refusesRemoval;
    // Runs right before an entry is opened below a held directory, with its path.
    std::function<void(const std::u16string&)> beforeOpen;
    std::string systemDirectory = "C:\\Windows\\system32";
    std::vector<std::string> calls;

    void Add(std::string_view path, Node node = Node::Directory) { nodes[Utf16(path)] = node; }
    bool Has(std::string_view path) const { return nodes.count(Utf16(path)) != 0; }
    static std::u16string Utf16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

    FoundDirectory OpenDirectory(std::string_view path) override;
    bool StartIn(std::string_view program, std::string_view directory) override {
        Record("start " + std::string(program) + " in " + std::string(directory));
        return true;
    }
    bool Open(std::string_view program, std::string_view parameters) override {
        Record("open " + std::string(program) + " " + std::string(parameters));
        return true;
    }
    std::string SystemDirectory() const override { return systemDirectory; }

private:
    class Opened;
    FoundDirectory Find(const std::u16string& path);
    void Record(std::string call);
    static std::string Shown(const std::u16string& path);
    Journal* journal_;
};

// The files of FakeFiles, and what stands in a shell, as its removals leave it.
class FakeShellFiles : public FakeFiles {
public:
    explicit FakeShellFiles(const FakeShell& shell) : shell_(shell) {}
    bool Exists(std::string_view path) override { return FakeFiles::Exists(path) || shell_.Has(path); }

private:
    const FakeShell& shell_;
};

}  // namespace qm::test
