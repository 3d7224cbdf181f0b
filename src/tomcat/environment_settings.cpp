#include "tomcat/environment_settings.h"

#include <exception>

namespace qm::tomcat {
namespace {

std::string Naming(std::string_view before, std::string_view name) {
    std::string text(before);
    text += '\'';
    text += name;
    text += '\'';
    return text;
}

bool IsStringType(std::uint32_t type) { return type == kRegistryString || type == kRegistryExpandString; }

std::string WriteAndAnnounce(EnvironmentPorts ports, std::string_view name, std::string_view value) {
    auto key = ports.machine.OpenOrCreateKey();
    if (!key) return std::string(kNeedsAdministratorNotice);

    // An existing value with data must be text: a number or a blob under this
    // name belongs to someone else and is not ours to overwrite. Empty data of
    // any type carries nothing to lose.
    if (const auto existing = key->Query(name); existing && existing->size != 0) {
        const auto read = key->Read(name, existing->size);
        if (!read) return Naming("Failed to get data for ", name);
        if (!IsStringType(read->type)) return Naming("Invalid data type for ", name);
    }
    if (!key->WriteExpandString(name, value)) return std::string(kNeedsAdministratorNotice);
    key.reset();

    // Only a value that is in the registry reaches our own environment and
    // the other programs.
    ports.process.Set(name, value);
    ports.broadcast.EnvironmentChanged();
    return std::string(kChangedNotice);
}

}  // namespace

std::string SetEnvPath(EnvironmentPorts ports, std::string_view name, std::string_view value) {
    try {
        return WriteAndAnnounce(ports, name, value);
    } catch (const std::exception& error) {
        return std::string(error.what());
    }
}

DirectoryChange ChangeInstallationDirectory(const DirectoryButton& button, FolderBrowser& browser,
                                            EnvironmentPorts ports) {
    auto directory = browser.PickFolder(button.browserTitle);
    if (!directory) return {};
    DirectoryChange change;
    change.notice = SetEnvPath(ports, button.variable, *directory);
    // The edit names the installation that the other pages act on: it takes
    // the new folder only once the environment has it.
    if (change.notice == kChangedNotice) change.editText = std::move(directory);
    return change;
}

}  // namespace qm::tomcat
