#include "diagnosis/start_rows.h"

#include "diagnosis/checks.h"
#include "diagnosis/exit_codes.h"
#include "services/service_control.h"

namespace qm::diagnosis {
namespace {

constexpr std::string_view kItem = "本次启动 · ";
constexpr std::size_t kQuotedBytes = 300;

std::string Shortened(std::string text) {
    if (text.size() <= kQuotedBytes) return text;
    std::size_t end = kQuotedBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text + "…";
}

std::string Item(std::string_view what) { return std::string(kItem) + std::string(what); }

void AddServiceRow(const StartAttempt& attempt, const Inspectors& inspectors, ServiceLookup lookup, GroupRows& rows) {
    const std::string& name = attempt.plan.service;
    const std::string item = Item("服务 " + name);
    if (lookup.error != 0) {
        rows.Add(item, Status::Error, "无法查询服务 " + name + "（错误代码 " + std::to_string(lookup.error) + "）");
        return;
    }
    const ServiceDescription& service = lookup.service;
    const std::string state = ServiceStateText(service.state);
    if (service.state == services::kStopped) {
        const std::string ended = ExitCodeWords(service.win32ExitCode, service.serviceExitCode, inspectors.messages);
        rows.Add(item, Status::Error, "启动后又停止了：" + (ended.empty() ? std::string("没有留下退出代码") : ended));
    } else if (service.state == services::kRunning) {
        rows.Add(item, Status::Notice, state + "（PID " + std::to_string(service.processId) + "），但 Tomcat 没有正常启动");
    } else {
        rows.Add(item, Status::Notice, state);
    }
}

// Whether a row tells who holds the port.
bool AddPortRow(const StartAttempt& attempt, const Inspectors& inspectors, Survey& survey, std::uint32_t serviceProcess,
                GroupRows& rows) {
    if (!attempt.plan.connectorPort) return false;
    const unsigned port = *attempt.plan.connectorPort;
    const std::string item = Item("端口 " + std::to_string(port));
    const std::optional<std::vector<TcpListener>> listeners = inspectors.network.Listeners();
    bool listened = false;
    if (listeners)
        for (const TcpListener& listener : *listeners) {
            if (listener.port != port) continue;
            listened = true;
            if (listener.ownerProcessId == 0 || listener.ownerProcessId == serviceProcess) continue;
            const std::optional<ProcessFacts> owner = survey.Process(listener.ownerProcessId);
            std::string services;
            if (const auto& all = survey.AllServices())
                for (const ServiceDescription& service : *all)
                    if (service.processId == listener.ownerProcessId)
                        services += (services.empty() ? "，它是服务 " : "、") + service.name;
            const std::string holder =
                owner ? DescribeProcess(*owner) : "PID " + std::to_string(listener.ownerProcessId) + " 的程序";
            rows.Add(item, Status::Error,
                     "端口 " + std::to_string(port) + "（HTTP/1.1）被 " + holder + " 占用" + services +
                         "：Tomcat 无法在这个端口上监听");
            return true;
        }
    if (attempt.mark.portHeld && listened) {
        rows.Add(item, Status::Error,
                 "端口 " + std::to_string(port) + "（HTTP/1.1）在启动之前已被其他程序占用（系统没有说明是哪个程序）");
        return true;
    }
    return false;
}

}  // namespace

std::vector<Row> StartAttemptRows(const StartAttempt& attempt, const Inspectors& inspectors) {
    std::vector<Row> found;
    GroupRows rows(found, Group::ThisStart);
    // Without a service of its own nothing was started: that is the whole story.
    if (attempt.plan.service.empty()) {
        rows.Add(Item("服务"), Status::Error,
                 "本安装没有自己的 Windows 服务，所以没有启动任何服务：可以在本安装的 bin 目录中运行 "
                 "service.bat install 为它安装一个");
        return found;
    }
    const ServiceLookup lookup = inspectors.services.Describe(attempt.plan.service);
    AddServiceRow(attempt, inspectors, lookup, rows);

    bool explained = false;
    for (GrownLog& log : LogsSince(inspectors.files, attempt.plan.logs, attempt.mark.logs))
        for (FoundFailure& failure : FailuresIn(log.text, attempt.plan.context, 4)) {
            // Only the failures that keep Tomcat from starting made this one fail.
            const bool cause = failure.explained && IsStartFailure(failure.explained->kind);
            explained = explained || cause;
            const std::string meaning = failure.explained ? failure.explained->explanation + "。" : std::string();
            rows.Add(Item("日志 · " + log.family), cause ? Status::Error : Status::Notice,
                     meaning + ShownPath(log.path) + " 中有：" + Shortened(std::move(failure.quoted)));
        }

    Survey survey(inspectors);
    const std::uint32_t serviceProcess = lookup.error == 0 ? lookup.service.processId : 0;
    if (AddPortRow(attempt, inspectors, survey, serviceProcess, rows)) explained = true;

    if (!explained) {
        const std::string& directory = attempt.plan.logs.runnerDirectory;
        rows.Add(Item("原因"), Status::Notice,
                 "日志中没有说明本次启动为什么失败的记录：请查看服务程序的日志目录 " +
                     (directory.empty() ? std::string("（未知）") : ShownPath(directory)) +
                     "，以及 Windows 事件查看器中的系统日志");
    }
    return found;
}

}  // namespace qm::diagnosis
