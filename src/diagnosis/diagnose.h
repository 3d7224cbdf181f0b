#pragma once

#include <vector>

#include "diagnosis/report.h"
#include "platform/process_environment.h"
#include "platform/system_inspection.h"
#include "sqlserver/instance_names.h"

namespace qm::diagnosis {

// Everything the checks look at.
struct Inspectors {
    ProcessEnvironment& environment;
    RegistryReader& registry;
    FileInspector& files;
    ServiceInspector& services;
    NetworkInspector& network;
    ProcessInspector& processes;
    RightsInspector& rights;
    sqlserver::InstanceNameSource& instances;
};

// Runs every check and returns the rows in report order. Changes nothing on
// the machine; a check that can't be made says so in its own row.
std::vector<Row> Diagnose(const Inspectors& inspectors);

}  // namespace qm::diagnosis
