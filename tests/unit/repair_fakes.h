#pragma once

// What a repair writes through, kept in maps that a test reads back.

#include "platform/backup_store.h"
#include "platform/file_replacer.h"
#include "platform/process_ender.h"
#include "platform/registry_writer.h"
#include "repair/repair.h"
#include "unit/diagnosis_fakes.h"

#include <map>
#include <tuple>

namespace qm::test {

class FakeRegistryWriter : public RegistryWriter {
public:
    using Key = std::tuple<std::string, std::string, RegistryView>;
    std::map<Key, RegistryValue> values;
    bool denied = false;
    int writes = 0;

    RegistryOutcome Read(std::string_view keyPath, std::string_view name, RegistryView view,
                         std::optional<RegistryValue>& value) override {
        const auto found = values.find(Key(keyPath, name, view));
        value = found == values.end() ? std::nullopt : std::optional(found->second);
        return RegistryOutcome::Done;
    }
    RegistryOutcome Write(std::string_view keyPath, std::string_view name, RegistryView view,
                          const RegistryValue& value) override {
        if (denied) return RegistryOutcome::Denied;
        ++writes;
        values[Key(keyPath, name, view)] = value;
        return RegistryOutcome::Done;
    }
    RegistryOutcome Remove(std::string_view keyPath, std::string_view name, RegistryView view) override {
        if (denied) return RegistryOutcome::Denied;
        ++writes;
        values.erase(Key(keyPath, name, view));
        return RegistryOutcome::Done;
    }
};

class FakeBackups : public BackupStore {
public:
    std::map<std::string, std::string> files;  // name -> bytes
    std::string Folder() override { return "C:\\Users\\me\\AppData\\Local\\Quillmate\\backup"; }
    LocalTime Now() override { return {2026, 12, 9, 3, 17, 31}; }
    BackupOutcome Create(std::string_view name, std::string_view bytes, std::string& path, std::string&) override {
        if (!files.emplace(std::string(name), std::string(bytes)).second) return BackupOutcome::NameTaken;
        path = Folder() + "\\" + std::string(name);
        return BackupOutcome::Done;
    }
    void Remove(const std::string& path) override { files.erase(path.substr(Folder().size() + 1)); }
};

// Saves into the fake files, as the whole-file replacement would.
class FakeFilesReplacer : public FileReplacer {
public:
    explicit FakeFilesReplacer(FakeFiles& files) : files_(files) {}
    ReplaceOutcome Replace(const std::string& path, std::string_view bytes, std::string&) override {
        files_.files[path] = std::string(bytes);
        return ReplaceOutcome::Replaced;
    }

private:
    FakeFiles& files_;
};

class FakeEnder : public ProcessEnder {
public:
    struct Process {
        std::uint64_t startTime = 0;
        std::string imagePath;
        bool ended = false;
    };
    std::map<std::uint32_t, Process> processes;

    std::unique_ptr<EndableProcess> Open(std::uint32_t id, OpenOutcome& outcome) override {
        const auto found = processes.find(id);
        outcome = found == processes.end() ? OpenOutcome::Gone : OpenOutcome::Opened;
        if (found == processes.end()) return nullptr;
        return std::make_unique<Opened>(found->second);
    }

private:
    class Opened : public EndableProcess {
    public:
        explicit Opened(Process& process) : process_(process) {}
        std::optional<std::uint64_t> StartTime() override { return process_.startTime; }
        std::optional<std::string> ImagePath() override { return process_.imagePath; }
        bool End() override { return process_.ended = true; }
        bool WaitForExit(std::chrono::milliseconds) override { return process_.ended; }

    private:
        Process& process_;
    };
};

class NoWaiting : public Waiting {
public:
    void Sleep(unsigned) override {}
    void PumpPendingMessages() override {}
};

// Every port of a repair over one fake machine.
struct FakeRepairPorts {
    FakeRegistryWriter registry;
    FakeNetwork network;
    FakeFiles files;
    FakeFilesReplacer replacer{files};
    FakeEnder processes;
    FakeBackups backups;
    NoWaiting waiting;
    repair::RepairPorts Ports() { return {registry, network, files, replacer, processes, backups, waiting}; }
};

}  // namespace qm::test
