#include "diagnosis/diagnose.h"

#include "diagnosis/checks.h"

namespace qm::diagnosis {

void CheckRights(const Inspectors& inspectors, std::vector<Row>& rows) {
    GroupRows rights(rows, Group::Rights);
    const std::optional<bool> elevated = inspectors.rights.IsElevated();
    if (!elevated)
        rights.Add("管理员权限", Status::Notice, "无法读取本程序的权限：服务与系统环境变量的操作需要管理员权限");
    else if (*elevated)
        rights.Add("管理员权限", Status::Ok, "本程序以管理员身份运行");
    else
        rights.Add("管理员权限", Status::Notice, "本程序没有以管理员身份运行：服务与系统环境变量的操作需要管理员权限");
}

std::vector<Row> Diagnose(const Inspectors& inspectors) {
    std::vector<Row> rows;
    Findings findings;
    Survey survey(inspectors);
    LearnInstallation(inspectors, survey, findings);
    CheckJava(inspectors, findings, rows);
    CheckTomcat(inspectors, findings, rows);
    CheckPorts(inspectors, survey, findings, rows);
    CheckServicesAndProcesses(inspectors, survey, findings, rows);
    CheckSqlServer(inspectors, rows);
    CheckRights(inspectors, rows);
    return rows;
}

}  // namespace qm::diagnosis
