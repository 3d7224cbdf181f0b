// The installation's service and the Tomcat processes of this installation.

#include <algorithm>

#include "diagnosis/checks.h"
#include "diagnosis/exit_codes.h"
#include "services/service_control.h"

namespace qm::diagnosis {
namespace {

constexpr std::uint32_t kServiceDoesNotExist = 1060;  // ERROR_SERVICE_DOES_NOT_EXIST

void ReportMissingService(Survey& survey, const std::string& name, GroupRows& rows) {
    const std::string item = "服务 " + name;
    const std::string missing = "没有安装服务 " + name;
    const auto& services = survey.AllServices();
    if (!services) {
        rows.Add(item, Status::Notice, missing + "（无法列出其他服务）");
        return;
    }
    std::string others;
    for (const ServiceDescription& service : *services)
        if (IsTomcatService(service))
            others += (others.empty() ? "" : "、") + service.name + "（" + ServiceProgram(service.binaryPath) + "）";
    if (others.empty())
        rows.Add(item, Status::Notice, missing);
    else
        rows.Add(item, Status::Notice,
                 missing + "；已安装的其他 Tomcat 服务：" + others + "。本程序的按钮只操作服务 " + name);
}

void ReportServiceState(const ServiceDescription& service, SystemMessages& messages, GroupRows& rows) {
    const std::string item = "服务 " + service.name;
    const std::string state = ServiceStateText(service.state);
    const std::string ended = ExitCodeWords(service.win32ExitCode, service.serviceExitCode, messages);
    if (service.state == services::kStopped && !ended.empty())
        rows.Add(item, Status::Error, state + "，上次运行失败：" + ended);
    else if (service.state == services::kRunning)
        rows.Add(item, Status::Ok, state + "，PID " + std::to_string(service.processId));
    else if (service.state == services::kStopped)
        rows.Add(item, Status::Ok, state);
    else
        rows.Add(item, Status::Notice, state);
}

void ReportServiceProgram(const ServiceDescription& service, const Findings& findings, GroupRows& rows) {
    if (findings.catalinaHome.empty()) return;
    const std::string item = "服务 " + service.name + " 程序";
    const std::string program = ServiceProgram(service.binaryPath);
    if (tomcat::MatchesInstallation(program, findings.catalinaHome))
        rows.Add(item, Status::Ok, program);
    else
        rows.Add(item, Status::Error,
                 "服务运行的是 " + program + "，不在 CATALINA_HOME（" + findings.catalinaHome +
                     "）中：它启动的是另一个 Tomcat");
}

// The installation whose bin holds program: its directory, without bin.
std::string InstallationOfRunner(std::string_view program) {
    std::string_view directory = program.substr(0, std::min(program.find_last_of("\\/"), program.size()));
    const std::size_t slash = directory.find_last_of("\\/");
    if (slash != std::string_view::npos && EqualFolded(directory.substr(slash + 1), "bin"))
        directory = directory.substr(0, slash);
    return std::string(directory);
}

// The installer's name is taken by a service that runs another Tomcat.
void ReportOtherInstallationsService(const ServiceDescription& service, GroupRows& rows) {
    const std::string program = ServiceProgram(service.binaryPath);
    rows.Add("服务 " + service.name, Status::Error,
             "服务 " + service.name + " 运行的是 " + program + "，属于另一个 Tomcat 安装（" +
                 InstallationOfRunner(program) +
                 "）。本安装没有自己的服务：本程序的服务按钮不操作任何服务，关闭服务和清除临时文件只结束本安装的进程");
}

void CheckTomcatService(const Inspectors& inspectors, Survey& survey, Findings& findings, GroupRows& rows) {
    const std::string& name = findings.serviceName;
    if (name.empty()) {
        if (const auto& other = findings.installation.otherInstallationsService)
            ReportOtherInstallationsService(*other, rows);
        return;
    }
    const ServiceLookup& lookup = InstallationService(inspectors, findings);
    if (lookup.error == kServiceDoesNotExist) {
        ReportMissingService(survey, name, rows);
    } else if (lookup.error != 0) {
        rows.Add("服务 " + name, Status::Notice,
                 "无法查询服务 " + name + "（错误代码 " + std::to_string(lookup.error) + "）");
    } else {
        ReportServiceState(lookup.service, inspectors.messages, rows);
        ReportServiceProgram(lookup.service, findings, rows);
    }
}

// Only a process that can be told apart from a later one with its identifier.
std::optional<Fix> EndingFix(const ProcessFacts& process) {
    if (!process.imagePath || process.startTime == 0) return std::nullopt;
    return ProcessFix{process.id, process.startTime, *process.imagePath, process.exeName};
}

void CheckTomcatProcesses(Survey& survey, const Findings& findings, GroupRows& rows) {
    bool any = false;
    for (const ProcessFacts& process : survey.TomcatCandidates()) {
        if (!IsTomcatProcessName(process.exeName) || !BelongsToInstallation(process, findings)) continue;
        any = true;
        if (EqualFolded(process.exeName, "java.exe"))
            rows.Add("进程 " + process.exeName, Status::Notice,
                     DescribeProcess(process) + "：停止按钮只结束 javaw 和 tomcat 进程，这个 java.exe 要另行关闭",
                     EndingFix(process));
        else
            rows.Add("进程 " + process.exeName, Status::Ok, DescribeProcess(process));
    }
    if (!any) rows.Add("Tomcat 进程", Status::Ok, "本安装的 Tomcat 没有在运行");
}

}  // namespace

const ServiceLookup& InstallationService(const Inspectors& inspectors, Findings& findings) {
    if (!findings.serviceLookup) findings.serviceLookup = inspectors.services.Describe(findings.serviceName);
    return *findings.serviceLookup;
}

void CheckServicesAndProcesses(const Inspectors& inspectors, Survey& survey, Findings& findings,
                               std::vector<Row>& rows) {
    GroupRows group(rows, Group::ServicesAndProcesses);
    CheckTomcatService(inspectors, survey, findings, group);
    CheckTomcatProcesses(survey, findings, group);
}

}  // namespace qm::diagnosis
