// The machine as the diagnosis sees it: its read-only Win32 views, one each.
// The program's entry hands the window a way to open one per run; the
// diagnosis benchmark opens the same.
#pragma once

#include "diagnosis/diagnose.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/instance_names_win.h"
#include "platform/win32/loopback_network_win.h"
#include "platform/win32/system_inspection_win.h"

namespace qm::app {

class DiagnosisMachine final : public diagnosis::Machine {
public:
    diagnosis::Inspectors View() override {
        return {.environment = environment_,
                .registry = registry_,
                .files = files_,
                .services = services_,
                .network = network_,
                .processes = processes_,
                .rights = rights_,
                .instances = instances_,
                .datagrams = datagrams_,
                .connector = connector_,
                .messages = messages_};
    }

private:
    win32::CurrentProcessEnvironment environment_;
    win32::Win32RegistryReader registry_;
    win32::Win32FileInspector files_;
    win32::Win32ServiceInspector services_;
    win32::Win32NetworkInspector network_;
    win32::Win32ProcessInspector processes_;
    win32::Win32RightsInspector rights_;
    win32::RegistryInstanceNames instances_;
    win32::Win32DatagramPort datagrams_;
    win32::Win32TcpConnector connector_;
    win32::Win32SystemMessages messages_;
};

}  // namespace qm::app
