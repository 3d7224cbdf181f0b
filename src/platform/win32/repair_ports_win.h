#pragma once

#include "platform/backup_store.h"
#include "platform/process_ender.h"
#include "platform/registry_writer.h"

namespace qm::win32 {

// The writes a repair makes, through the Win32 API. Each opens only what it
// changes, with the rights for that change.

// Values of existing keys below HKEY_LOCAL_MACHINE in the asked view.
class Win32RegistryWriter final : public RegistryWriter {
public:
    RegistryOutcome Read(std::string_view keyPath, std::string_view name, RegistryView view,
                         std::optional<RegistryValue>& value) override;
    RegistryOutcome Write(std::string_view keyPath, std::string_view name, RegistryView view,
                          const RegistryValue& value) override;
    RegistryOutcome Remove(std::string_view keyPath, std::string_view name, RegistryView view) override;
};

// Opened with the rights to query, end and wait for it.
class Win32ProcessEnder final : public ProcessEnder {
public:
    std::unique_ptr<EndableProcess> Open(std::uint32_t id, OpenOutcome& outcome) override;
};

// The folder Quillmate\backup in the user's local application data, each of
// its two levels a plain directory (never a link that leads elsewhere).
class LocalBackupStore final : public BackupStore {
public:
    std::string Folder() override;
    LocalTime Now() override;
    BackupOutcome Create(std::string_view name, std::string_view bytes, std::string& path,
                         std::string& reason) override;
    void Remove(const std::string& path) override;
};

}  // namespace qm::win32
