#include "unit/tomcat_fakes.h"

#include <algorithm>
#include <cstdio>

namespace qm::test {

class FakeMachineEnvironment::Key : public MachineEnvironmentKey {
public:
    explicit Key(FakeMachineEnvironment& owner) : owner_(owner) {
        owner_.keyOpen = true;
        owner_.journal_.push_back("open key");
    }
    ~Key() override {
        owner_.keyOpen = false;
        owner_.journal_.push_back("close key");
    }

    std::optional<RegistryValueInfo> Query(std::string_view name) override {
        const auto found = owner_.values.find(name);
        if (found == owner_.values.end()) return std::nullopt;
        return RegistryValueInfo{found->second.type, found->second.size};
    }
    std::optional<RegistryValueInfo> Read(std::string_view name, std::uint32_t size) override {
        const auto found = owner_.values.find(name);
        if (owner_.readFails || found == owner_.values.end() || size < found->second.size) return std::nullopt;
        return RegistryValueInfo{found->second.type, found->second.size};
    }
    bool WriteExpandString(std::string_view name, std::string_view text) override {
        if (owner_.writeFails) return false;
        owner_.PutText(std::string(name), kRegistryExpandString, std::string(text));
        owner_.journal_.push_back("write " + std::string(name) + "=" + std::string(text));
        return true;
    }

private:
    FakeMachineEnvironment& owner_;
};

std::unique_ptr<MachineEnvironmentKey> FakeMachineEnvironment::OpenOrCreateKey() {
    if (openFails) return nullptr;
    return std::make_unique<Key>(*this);
}

class FakeProcessTable::Opened : public OpenedProcess {
public:
    Opened(FakeProcessTable& table, const FakeProcess& process) : table_(table), process_(process) {
        ++table_.openHandles;
    }
    ~Opened() override { --table_.openHandles; }
    std::optional<std::string> ImagePath() override { return process_.imagePath; }
    bool WaitForExit(std::chrono::milliseconds bound) override {
        const bool gone = table_.ended.count(process_.id) != 0;
        if (!gone) table_.waited += bound;
        return gone;
    }

private:
    FakeProcessTable& table_;
    FakeProcess process_;
};

const FakeProcess* FakeProcessTable::Find(std::uint32_t id) const {
    for (const auto& process : processes)
        if (process.id == id) return &process;
    return nullptr;
}

std::vector<ProcessEntry> FakeProcessTable::Snapshot() {
    if (journal_) journal_->push_back("snapshot");
    std::vector<ProcessEntry> entries;
    for (const auto& process : processes) entries.push_back({process.id, process.exeName});
    return entries;
}

std::unique_ptr<OpenedProcess> FakeProcessTable::Open(std::uint32_t id) {
    const auto* process = Find(id);
    if (!process || !process->openable) return nullptr;
    return std::make_unique<Opened>(*this, *process);
}

std::optional<std::string> FakeProcessTable::ImagePath(std::uint32_t id) {
    const auto* process = Find(id);
    return process ? process->imagePath : std::nullopt;
}

bool FakeProcessTable::Terminate(std::uint32_t id) {
    terminateCalls.push_back(id);
    const auto* process = Find(id);
    if (!process || process->refusesTermination) return false;
    ended.insert(id);
    return true;
}

class FakeShell::Opened : public OpenedDirectory {
public:
    Opened(FakeShell& shell, std::u16string path) : shell_(shell), path_(std::move(path)) {
        shell_.Record("hold " + Shown(path_));
    }
    ~Opened() override { shell_.Record("release " + Shown(path_)); }

    std::optional<std::vector<DirectoryEntry>> Entries() override {
        if (shell_.listingFails) return std::nullopt;
        std::vector<DirectoryEntry> entries;
        const std::u16string start = path_ + u"\\";
        for (const auto& [path, node] : shell_.nodes) {
            if (path.rfind(start, 0) != 0 || path.find(u'\\', start.size()) != std::u16string::npos) continue;
            const PathKind kind =
                node == Node::Directory ? PathKind::Directory : node == Node::Link ? PathKind::Link : PathKind::Other;
            entries.push_back({path.substr(start.size()), kind});
        }
        return entries;
    }
    FoundDirectory OpenDirectory(std::u16string_view name) override {
        const std::u16string path = Below(name);
        if (shell_.beforeOpen) shell_.beforeOpen(path);
        return shell_.Find(path);
    }
    bool RemoveEntry(std::u16string_view name) override {
        const std::u16string path = Below(name);
        const auto found = shell_.nodes.find(path);
        if (found == shell_.nodes.end()) return true;
        shell_.Record((found->second == Node::Link ? "remove link " : "remove file ") + Shown(path));
        if (found->second == Node::Directory || shell_.removalFails || shell_.refusesRemoval.count(path)) return false;
        shell_.nodes.erase(found);
        return true;
    }
    bool RemoveSelf() override {
        shell_.Record("remove directory " + Shown(path_));
        const std::u16string start = path_ + u"\\";
        const bool empty = std::none_of(shell_.nodes.begin(), shell_.nodes.end(),
                                        [&](const auto& node) { return node.first.rfind(start, 0) == 0; });
        if (!empty || shell_.removalFails || shell_.refusesRemoval.count(path_)) return false;
        shell_.nodes.erase(path_);
        return true;
    }

private:
    std::u16string Below(std::u16string_view name) const { return path_ + u"\\" + std::u16string(name); }
    FakeShell& shell_;
    std::u16string path_;
};

FoundDirectory FakeShell::Find(const std::u16string& path) {
    const auto found = nodes.find(path);
    if (found == nodes.end()) return {PathKind::Missing, nullptr};
    if (found->second == Node::Link) return {PathKind::Link, nullptr};
    if (found->second == Node::File) return {PathKind::Other, nullptr};
    return {PathKind::Directory, std::make_unique<Opened>(*this, path)};
}

FoundDirectory FakeShell::OpenDirectory(std::string_view path) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return Find(Utf16(path));
}

std::string FakeShell::Shown(const std::u16string& path) {
    std::string shown;
    for (char16_t c : path) {
        if (c < 0x80) {
            shown += static_cast<char>(c);
            continue;
        }
        char escaped[12];
        std::snprintf(escaped, sizeof escaped, "\\u{%04X}", static_cast<unsigned>(c));
        shown += escaped;
    }
    return shown;
}

void FakeShell::Record(std::string call) {
    if (journal_) journal_->push_back(call);
    calls.push_back(std::move(call));
}

}  // namespace qm::test
