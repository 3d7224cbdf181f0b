#pragma once

// What a row of the report can repair. A row carries a fix only when the
// program knows exactly what to change and what that gives; the repair
// checks right before it writes that the machine is still as the row saw it.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/registry_writer.h"

namespace qm::diagnosis {

// One value of the service runner's settings, set to another.
struct SettingFix {
    std::string service;  // whose settings, for the backup's name
    std::string keyPath;  // below HKEY_LOCAL_MACHINE
    std::string name;
    RegistryView view = RegistryView::Wow32;
    std::optional<RegistryValue> seen;  // as the diagnosis read it; nothing: not set
    RegistryValue wanted;
    // The sentences of the question box: what it does, and for the undo what
    // that does.
    std::string change;
    std::string undo;
    bool operator==(const SettingFix&) const = default;
};

// A connector of server.xml moved to another port.
struct PortFix {
    std::string serverXml;
    std::size_t connector = 0;  // the how-manieth Connector of the file's Services, from 0
    std::string use;            // its protocol, as the rows name it
    unsigned seenPort = 0;
    unsigned wantedPort = 0;
    bool held = false;  // another program holds seenPort (else the file names it twice)
    bool operator==(const PortFix&) const = default;
};

// A process of the installation ended.
struct ProcessFix {
    std::uint32_t id = 0;
    std::uint64_t startTime = 0;
    std::string imagePath;
    std::string exeName;
    bool operator==(const ProcessFix&) const = default;
};

// A repair made, to be put back: the setting exactly as it was before (nothing:
// it was not set), or the port the connector had.
struct Undo {
    std::variant<SettingFix, PortFix> made;
    std::optional<RegistryValue> before;
    std::string backup;  // the file that holds what was there before
    bool operator==(const Undo&) const = default;
};

using Fix = std::variant<SettingFix, PortFix, ProcessFix, Undo>;

}  // namespace qm::diagnosis
