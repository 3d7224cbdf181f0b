#include "repair/repair.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "repair/reg_file.h"
#include "text/ascii.h"
#include "tomcat/notice.h"
#include "tomcat/server_xml_port.h"
#include "xml/limits.h"

namespace qm::repair {
namespace {

using diagnosis::Fix;
using diagnosis::PortFix;
using diagnosis::ProcessFix;
using diagnosis::SettingFix;
using diagnosis::Undo;

// How long an ended process may take to go before the repair says it failed.
constexpr std::chrono::milliseconds kExitBound{5000};
constexpr unsigned kExitPoll = 50;
// Backups made in one second get a number after their name.
constexpr int kBackupNameTries = 20;
// The error number a refused write carries in a replacement's reason.
constexpr std::string_view kAccessDenied = "(error 5)";

Outcome Refused(Result result, std::string message) { return {result, std::move(message), std::nullopt}; }
Outcome Changed() { return Refused(Result::Changed, std::string(kChangedText)); }
Outcome NeedsRights() { return Refused(Result::NeedsRights, std::string(kNeedsRightsText)); }
Outcome Failed(std::string_view what) { return Refused(Result::Failed, "修复失败!" + std::string(what)); }

// Letters, digits and a few marks, so that any name makes a file name.
std::string FileNamePart(std::string_view text) {
    std::string part;
    for (char c : text) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        part += plain ? c : '_';
    }
    return part;
}

// "2026-12-09_03-17-31_what", then "_2", "_3" for a name already there.
std::optional<std::string> Backup(BackupStore& backups, std::string_view what, std::string_view extension,
                                  std::string_view bytes, std::string& reason) {
    const LocalTime now = backups.Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d-%02d-%02d_", now.year % 10000, now.month % 100,
                  now.day % 100, now.hour % 100, now.minute % 100, now.second % 100);
    for (int attempt = 1; attempt <= kBackupNameTries; ++attempt) {
        std::string name = stamp + std::string(what);
        if (attempt > 1) name += "_" + std::to_string(attempt);
        name += extension;
        std::string path;
        switch (backups.Create(name, bytes, path, reason)) {
        case BackupOutcome::Done:
            return path;
        case BackupOutcome::NameTaken:
            continue;
        case BackupOutcome::Failed:
            return std::nullopt;
        }
    }
    reason = "too many backups in one second";
    return std::nullopt;
}

std::string PortChange(const PortFix& fix, unsigned from, unsigned to, std::string_view verb) {
    // As Windows writes the path, whatever separators it was put together with.
    std::string shown = fix.serverXml;
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return "将 " + shown + " 中连接器 " + fix.use + " 的端口从 " + std::to_string(from) + std::string(verb) +
           std::to_string(to) + "。";
}

std::string ChangeText(const Fix& fix) {
    if (const auto* setting = std::get_if<SettingFix>(&fix)) return setting->change;
    if (const auto* port = std::get_if<PortFix>(&fix))
        return PortChange(*port, port->seenPort, port->wantedPort, " 改为 ");
    if (const auto* process = std::get_if<ProcessFix>(&fix))
        return "结束进程 " + process->exeName + "（PID " + std::to_string(process->id) + "，" + process->imagePath +
               "）。";
    const Undo& undo = std::get<Undo>(fix);
    if (const auto* setting = std::get_if<SettingFix>(&undo.made)) return setting->undo;
    const PortFix& port = std::get<PortFix>(undo.made);
    return PortChange(port, port.wantedPort, port.seenPort, " 改回 ");
}

std::string Sentence(std::string text) {
    if (!text.empty() && text.ends_with("。")) text.resize(text.size() - std::string_view("。").size());
    return text;
}

// The row the reports begin with after a repair.
diagnosis::Row RepairedRow(const Fix& made, std::optional<Fix> undo, const std::string& backup) {
    std::string explanation = "已" + Sentence(ChangeText(made));
    explanation += backup.empty() ? "。" : "；修改前的内容备份在 " + backup + "。";
    if (undo) explanation += "选中这一行按“撤销…”可以改回。";
    return {diagnosis::Group::Java, std::string(diagnosis::kRepairedItem), diagnosis::Status::Ok,
            std::move(explanation), std::move(undo)};
}

// Sets a value that must read as expected (or, for an undo, be exactly
// what the repair wrote) to target, after a backup of what is there.
Outcome WriteSetting(const SettingFix& fix, const std::optional<RegistryValue>& expected, bool exactly,
                     const std::optional<RegistryValue>& target, std::string_view what, RepairPorts& ports,
                     std::optional<RegistryValue>& before, std::string& backup) {
    switch (ports.registry.Read(fix.keyPath, fix.name, fix.view, before)) {
    case RegistryOutcome::Done:
        break;
    case RegistryOutcome::Denied:
        return NeedsRights();
    case RegistryOutcome::Failed:
        return Changed();  // the key is gone
    }
    if (exactly ? before != expected : !SameReading(before, expected)) return Changed();
    std::string reason;
    const std::string text = RegFileText({{fix.keyPath, fix.view, fix.name, before}});
    const std::optional<std::string> saved =
        Backup(ports.backups, FileNamePart(fix.service) + "_" + FileNamePart(fix.name) + std::string(what), ".reg",
               RegFileBytes(text), reason);
    if (!saved) return Failed("无法备份：" + reason);
    const RegistryOutcome written = target ? ports.registry.Write(fix.keyPath, fix.name, fix.view, *target)
                                           : ports.registry.Remove(fix.keyPath, fix.name, fix.view);
    if (written != RegistryOutcome::Done) {
        ports.backups.Remove(*saved);
        return written == RegistryOutcome::Denied ? NeedsRights() : Failed("无法写入注册表 " + fix.name);
    }
    backup = *saved;
    return {Result::Done, {}, std::nullopt};
}

bool Held(NetworkInspector& network, unsigned port) {
    const std::optional<std::vector<TcpListener>> listeners = network.Listeners();
    if (listeners)
        for (const TcpListener& listener : *listeners)
            if (listener.port == port) return true;
    return network.TryBind(static_cast<std::uint16_t>(port)) == BindOutcome::Taken;
}

bool Free(NetworkInspector& network, unsigned port) {
    const std::optional<std::vector<TcpListener>> listeners = network.Listeners();
    if (!listeners) return false;
    for (const TcpListener& listener : *listeners)
        if (listener.port == port) return false;
    return network.TryBind(static_cast<std::uint16_t>(port)) == BindOutcome::Free;
}

Outcome SavePort(const PortFix& fix, unsigned from, unsigned to, std::string_view what, RepairPorts& ports,
                 std::string& backup) {
    const std::optional<std::string> bytes = ports.files.ReadHead(fix.serverXml, xml::kMaxDocumentBytes + 1);
    if (!bytes || bytes->size() > xml::kMaxDocumentBytes) return Changed();
    std::string reason;
    const std::optional<std::string> saved =
        Backup(ports.backups, "server" + std::string(what), ".xml", *bytes, reason);
    if (!saved) return Failed("无法备份：" + reason);
    const tomcat::ConnectorSave outcome = tomcat::SaveConnectorPort(
        fix.serverXml, fix.connector, std::to_string(from), std::to_string(to), ports.files, ports.replacer, reason);
    if (outcome == tomcat::ConnectorSave::Saved) {
        backup = *saved;
        return {Result::Done, {}, std::nullopt};
    }
    ports.backups.Remove(*saved);
    switch (outcome) {
    case tomcat::ConnectorSave::NotAsSeen:
        return Changed();
    case tomcat::ConnectorSave::HardLinks:
        return Refused(Result::Failed, std::string(tomcat::kHardLinkRefusedNotice));
    default:
        break;
    }
    if (reason.find(kAccessDenied) != std::string::npos) return NeedsRights();
    return Failed(reason);
}

Outcome EndProcess(const ProcessFix& fix, RepairPorts& ports) {
    OpenOutcome opened = OpenOutcome::Failed;
    const std::unique_ptr<EndableProcess> process = ports.processes.Open(fix.id, opened);
    switch (opened) {
    case OpenOutcome::Opened:
        break;
    case OpenOutcome::Gone:
        return Changed();
    case OpenOutcome::Denied:
        return NeedsRights();
    case OpenOutcome::Failed:
        return Failed("无法打开进程 " + std::to_string(fix.id));
    }
    const std::optional<std::string> path = process->ImagePath();
    if (process->StartTime() != fix.startTime || !path || !text::EqualFolded(*path, fix.imagePath)) return Changed();
    if (!process->End()) return NeedsRights();
    bool ended = process->WaitForExit(std::chrono::milliseconds(0));
    for (unsigned waited = 0; !ended && waited < kExitBound.count(); waited += kExitPoll) {
        ports.waiting.Sleep(kExitPoll);
        ports.waiting.PumpPendingMessages();
        ended = process->WaitForExit(std::chrono::milliseconds(0));
    }
    if (!ended) return Failed("进程 " + std::to_string(fix.id) + " 没有结束");
    return {Result::Done, {}, RepairedRow(fix, std::nullopt, {})};
}

Outcome Repair(const Fix& fix, RepairPorts& ports) {
    std::string backup;
    if (const auto* setting = std::get_if<SettingFix>(&fix)) {
        std::optional<RegistryValue> before;
        Outcome outcome = WriteSetting(*setting, setting->seen, false, setting->wanted, "", ports, before, backup);
        if (outcome.result == Result::Done) outcome.repaired = RepairedRow(fix, Undo{*setting, before, backup}, backup);
        return outcome;
    }
    const PortFix& port = std::get<PortFix>(fix);
    if ((port.held && !Held(ports.network, port.seenPort)) || !Free(ports.network, port.wantedPort)) return Changed();
    Outcome outcome = SavePort(port, port.seenPort, port.wantedPort, "", ports, backup);
    if (outcome.result == Result::Done) outcome.repaired = RepairedRow(fix, Undo{port, std::nullopt, backup}, backup);
    return outcome;
}

Outcome PutBack(const Undo& undo, RepairPorts& ports) {
    std::string backup;
    Outcome outcome;
    if (const auto* setting = std::get_if<SettingFix>(&undo.made)) {
        std::optional<RegistryValue> current;
        outcome = WriteSetting(*setting, setting->wanted, true, undo.before, "_before-undo", ports, current, backup);
    } else {
        const PortFix& port = std::get<PortFix>(undo.made);
        outcome = SavePort(port, port.wantedPort, port.seenPort, "_before-undo", ports, backup);
    }
    return outcome;
}

}  // namespace

std::string_view ButtonCaption(const diagnosis::Row* selected) {
    return selected && selected->fix && std::holds_alternative<Undo>(*selected->fix) ? kUndoCaption : kRepairCaption;
}

bool ButtonEnabled(const diagnosis::Row* selected, bool busy) { return selected && selected->fix && !busy; }

void LastRepair::Record(const Outcome& outcome) {
    if (outcome.result == Result::Done) row_ = outcome.repaired;
}

std::vector<diagnosis::Row> LastRepair::Before(std::vector<diagnosis::Row> rows) const {
    if (row_) rows.insert(rows.begin(), *row_);
    return rows;
}

std::string Question(const Fix& fix, std::string_view backupFolder) {
    std::string question = ChangeText(fix);
    if (std::holds_alternative<ProcessFix>(fix))
        question += "\r\n进程结束后无法撤销。";
    else
        question += "\r\n修改前的内容将备份到 " + std::string(backupFolder) + "。";
    return question;
}

Outcome Apply(const Fix& fix, RepairPorts& ports) {
    if (const auto* process = std::get_if<ProcessFix>(&fix)) return EndProcess(*process, ports);
    if (const auto* undo = std::get_if<Undo>(&fix)) return PutBack(*undo, ports);
    return Repair(fix, ports);
}

}  // namespace qm::repair
