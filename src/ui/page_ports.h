// What each page's handlers call, by page: the program's entry builds every
// adapter once and lends each page only the ports it uses.
#pragma once

#include "diagnosis/diagnose.h"
#include "platform/clock.h"
#include "platform/file_inspector.h"
#include "platform/file_replacer.h"
#include "platform/folder_browser.h"
#include "platform/instance_name_source.h"
#include "platform/process_environment.h"
#include "platform/service_manager.h"
#include "platform/shell.h"
#include "platform/system_inspection.h"
#include "platform/waiting.h"
#include "repair/repair.h"
#include "tomcat/environment_settings.h"
#include "tomcat/tomcat_page.h"

namespace qm::ui {

struct BrowserPagePorts {
    Shell& shell;
};

struct TomcatPagePorts {
    tomcat::TomcatPorts tomcat;
    ServiceManager& services;  // the installation's service is started through it
    // What the start watches until Tomcat serves: the listeners, and the
    // runner's settings that say where it logs.
    NetworkInspector& network;
    RegistryReader& registry;
    Clock& clock;
};

struct EnvironmentPagePorts {
    ProcessEnvironment& environment;  // the directories shown as the program starts
    FolderBrowser& folderBrowser;
    tomcat::EnvironmentPorts machine;
    FileInspector& files;  // server.xml, read and saved through the replacer
    FileReplacer& replacer;
};

struct SqlPagePorts {
    ServiceManager& services;
    Waiting& waiting;
    InstanceNameSource& instanceNames;
};

struct PagePorts {
    BrowserPagePorts browser;
    TomcatPagePorts tomcat;
    EnvironmentPagePorts environment;
    SqlPagePorts sql;
    // The diagnosis is apart: its checks run on a thread that may outlive the
    // window, so each run opens the views it reads through.
    diagnosis::MachineOpener diagnosis;
    // What the diagnosis page's repairs write through, on the window's thread.
    repair::RepairPorts repair;
};

}  // namespace qm::ui
