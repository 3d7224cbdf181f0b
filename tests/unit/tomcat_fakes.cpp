#include "unit/tomcat_fakes.h"

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

class FakeShell::Held : public HeldDirectory {
public:
    Held(FakeShell& shell, std::string path) : shell_(shell), path_(std::move(path)) { shell_.Record("hold " + path_); }
    ~Held() override { shell_.Record("release " + path_); }

private:
    FakeShell& shell_;
    std::string path_;
};

PathKind FakeShell::KindOf(std::string_view path) const {
    if (links.count(std::string(path)) != 0) return PathKind::Link;
    return paths.count(std::string(path)) != 0 ? PathKind::Directory : PathKind::Missing;
}

std::unique_ptr<HeldDirectory> FakeShell::HoldDirectory(std::string_view path) {
    if (KindOf(path) != PathKind::Directory) return nullptr;
    return std::make_unique<Held>(*this, std::string(path));
}

std::optional<std::vector<std::string>> FakeShell::LinksBelow(std::string_view directory) const {
    if (listingFails) return std::nullopt;
    std::vector<std::string> below;
    for (const auto& link : links)
        if (link.rfind(std::string(directory) + "\\", 0) == 0) below.push_back(link);
    return below;
}

bool FakeShell::DeleteTree(std::string_view path, std::string_view title) {
    Record("delete " + std::string(path) + " titled " + std::string(title));
    if (deletionFails) return false;
    const std::string root(path);
    for (auto it = paths.begin(); it != paths.end();) {
        const bool below = *it == root || it->rfind(root + "\\", 0) == 0;
        it = below ? paths.erase(it) : std::next(it);
    }
    return true;
}

bool FakeShell::RemoveLink(std::string_view path) {
    Record("remove link " + std::string(path));
    if (linkRemovalFails || links.erase(std::string(path)) == 0) return false;
    paths.erase(std::string(path));
    return true;
}

void FakeShell::Record(std::string call) {
    if (journal_) journal_->push_back(call);
    calls.push_back(std::move(call));
}

}  // namespace qm::test
