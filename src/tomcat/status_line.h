#pragma once

// The line under the Tomcat page's buttons: which Tomcat CATALINA_HOME
// holds, its service's state, and whether its HTTP connector's port is
// listened on. The installation and server.xml are read when asked; the
// service and the listener table, both cheap, at every look.

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_inspector.h"
#include "platform/process_environment.h"
#include "platform/system_inspection.h"
#include "tomcat/installation.h"

namespace qm::tomcat {

// The port of server.xml's HTTP/1.1 connector (FindHttpConnector); nothing
// when the file does not load or names none.
std::optional<unsigned> HttpConnectorPort(FileInspector& files, std::string_view catalinaHome);

struct TomcatStatusFacts {
    std::string home;
    TomcatVersion version;
    std::string service;  // empty: the installation has no service of its own
    std::string othersService;  // then the service of its name that another installation runs, if any
    ServiceLookup lookup;
    std::optional<unsigned> connectorPort;
    std::optional<bool> listening;  // nothing: the listener table could not be read
};

std::string TomcatStatusText(const TomcatStatusFacts& facts);

struct TomcatStatusPorts {
    const ProcessEnvironment& environment;
    FileInspector& files;
    ServiceInspector& services;
    NetworkInspector& network;
};

// Reads the facts, keeping what the installation and server.xml said until
// CATALINA_HOME changes or `again` asks for a new read.
class TomcatStatus {
public:
    std::string Read(TomcatStatusPorts ports, bool again);

private:
    std::optional<std::string> home_;  // what installation_ and port_ were read for
    Installation installation_;
    std::optional<unsigned> port_;
};

}  // namespace qm::tomcat
