// What the window's handlers work with: every port of the system they use,
// lent by the program's entry, which builds each adapter once. The diagnosis
// is apart: its checks run on a thread that may outlive the window, so each
// run owns the views it reads through.
#pragma once

#include "platform/broadcast.h"
#include "platform/file_inspector.h"
#include "platform/file_replacer.h"
#include "platform/folder_browser.h"
#include "platform/instance_name_source.h"
#include "platform/machine_environment_key.h"
#include "platform/process_environment.h"
#include "platform/process_table.h"
#include "platform/service_manager.h"
#include "platform/shell.h"
#include "platform/system_inspection.h"
#include "platform/waiting.h"
#include "repair/repair.h"
#include "tomcat/environment_settings.h"
#include "tomcat/process_shutdown.h"
#include "tomcat/tomcat_page.h"

namespace qm::ui {

struct WindowPorts {
    ServiceManager& services;
    Waiting& waiting;
    tomcat::ServiceStopper& stopper;
    ProcessTable& processes;
    ProcessEnvironment& environment;
    Shell& shell;
    FileInspector& files;
    ServiceInspector& installedServices;
    MachineEnvironment& machineEnvironment;
    EnvironmentBroadcast& broadcast;
    FolderBrowser& folderBrowser;
    InstanceNameSource& instanceNames;
    FileReplacer& replacer;
    // What the diagnosis page's repairs write through.
    RegistryWriter& registryWriter;
    NetworkInspector& network;
    ProcessEnder& processEnder;
    BackupStore& backups;

    tomcat::TomcatPorts Tomcat() const {
        return {stopper, processes, environment, shell, waiting, files, installedServices};
    }
    tomcat::EnvironmentPorts Environment() const { return {machineEnvironment, environment, broadcast}; }
    repair::RepairPorts Repair() const {
        return {registryWriter, network, files, replacer, processEnder, backups, waiting};
    }
};

}  // namespace qm::ui
