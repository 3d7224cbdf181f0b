#include "sqlserver/instance_names.h"

#include <algorithm>

namespace qm::sqlserver {
namespace {

constexpr std::string_view kDefaultInstance = "MSSQLSERVER";
constexpr std::string_view kNamedInstancePrefix = "MSSQL$";

}  // namespace

std::vector<std::string> ReadInstanceList(InstanceNameSource& source) {
    std::vector<std::string> list;
    for (const RegistryView view : {RegistryView::Native, RegistryView::Wow32}) {
        const std::optional<std::vector<std::string>> names = source.ReadInstanceNames(view);
        if (!names) continue;
        for (const std::string& name : *names)
            if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
    }
    return list;
}

std::string ServiceNameOf(std::string_view instance) {
    if (instance == kDefaultInstance) return std::string(instance);
    std::string service(kNamedInstancePrefix);
    service += instance;
    return service;
}

}  // namespace qm::sqlserver
