#include "diagnosis/diagnose.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

#include "diagnosis/checks.h"
#include "diagnosis/start_rows.h"
#include "platform/detached_thread.h"

namespace qm::diagnosis {
namespace {

// The file views of one run, remembering which path is being looked at: when
// a group never returns, that is the path to name.
class WatchedFiles final : public FileInspector {
public:
    explicit WatchedFiles(FileInspector& files) : files_(files) {}

    bool IsDirectory(std::string_view path) override {
        const Look look(*this, path);
        return files_.IsDirectory(path);
    }
    bool IsFile(std::string_view path) override {
        const Look look(*this, path);
        return files_.IsFile(path);
    }
    bool Exists(std::string_view path) override {
        const Look look(*this, path);
        return files_.Exists(path);
    }
    std::optional<std::string> ReadHead(std::string_view path, std::size_t maxBytes) override {
        const Look look(*this, path);
        return files_.ReadHead(path, maxBytes);
    }
    std::optional<std::string> ReadTail(std::string_view path, std::size_t maxBytes) override {
        const Look look(*this, path);
        return files_.ReadTail(path, maxBytes);
    }
    std::optional<std::vector<DirectoryItem>> List(std::string_view directory) override {
        const Look look(*this, directory);
        return files_.List(directory);
    }
    std::optional<LocalTime> ToLocalTime(std::uint64_t lastWriteTime) override {
        return files_.ToLocalTime(lastWriteTime);
    }
    bool OnNetworkDrive(std::string_view path) override { return files_.OnNetworkDrive(path); }

    // The path of the look under way; empty when none is.
    std::string Current() const {
        const std::lock_guard hold(lock_);
        return current_;
    }

private:
    class Look {
    public:
        Look(WatchedFiles& files, std::string_view path) : files_(files) { files_.Set(path); }
        ~Look() { files_.Set({}); }
        Look(const Look&) = delete;
        Look& operator=(const Look&) = delete;

    private:
        WatchedFiles& files_;
    };
    void Set(std::string_view path) {
        const std::lock_guard hold(lock_);
        current_.assign(path);
    }

    FileInspector& files_;
    mutable std::mutex lock_;
    std::string current_;
};

// What the groups of one run share: the views, the facts asked once, and
// what the earlier groups learnt.
class Session {
public:
    Session(const Inspectors& machine, Findings learnt)
        : files_(machine.files),
          view_{.environment = machine.environment,
                .registry = machine.registry,
                .files = files_,
                .services = machine.services,
                .network = machine.network,
                .processes = machine.processes,
                .rights = machine.rights,
                .instances = machine.instances,
                .datagrams = machine.datagrams,
                .connector = machine.connector,
                .messages = machine.messages},
          survey_(view_),
          findings_(std::move(learnt)) {}

    const Inspectors& View() const { return view_; }
    Survey& Facts() { return survey_; }
    Findings& Learnt() { return findings_; }
    std::string FileInUse() const { return files_.Current(); }

private:
    WatchedFiles files_;
    Inspectors view_;
    Survey survey_;
    Findings findings_;
};

// A session over views it owns, so that a thread left behind keeps them.
struct OwnedSession {
    OwnedSession(std::unique_ptr<Machine> owned, Findings learnt)
        : machine(std::move(owned)), session(machine->View(), std::move(learnt)) {}
    std::unique_ptr<Machine> machine;
    Session session;
};

struct GroupCheck {
    Group group;
    std::string_view name;  // as the row of a group that could not be checked names it
    std::function<void(Session&, std::vector<Row>&)> run;
};

// The groups in report order.
const std::array<GroupCheck, 10> kGroupChecks{{
    // Adds no rows: the Tomcat in CATALINA_HOME, which the Java checks measure Java against.
    {Group::Tomcat, "Tomcat 安装",
     [](Session& s, std::vector<Row>&) { LearnInstallation(s.View(), s.Facts(), s.Learnt()); }},
    {Group::Java, "Java", [](Session& s, std::vector<Row>& rows) { CheckJava(s.View(), s.Learnt(), rows); }},
    {Group::Tomcat, "Tomcat", [](Session& s, std::vector<Row>& rows) { CheckTomcat(s.View(), s.Learnt(), rows); }},
    {Group::Ports, "端口",
     [](Session& s, std::vector<Row>& rows) { CheckPorts(s.View(), s.Facts(), s.Learnt(), rows); }},
    {Group::ServicesAndProcesses, "服务与进程",
     [](Session& s, std::vector<Row>& rows) { CheckServicesAndProcesses(s.View(), s.Facts(), s.Learnt(), rows); }},
    {Group::ServicesAndProcesses, "服务设置",
     [](Session& s, std::vector<Row>& rows) { CheckServiceSettings(s.View(), s.Learnt(), rows); }},
    {Group::ServicesAndProcesses, "日志", [](Session& s, std::vector<Row>& rows) { CheckLogs(s.View(), s.Learnt(), rows); }},
    {Group::SqlServer, "SQL Server", [](Session& s, std::vector<Row>& rows) { CheckSqlServer(s.View(), rows); }},
    {Group::SqlServer, "JDBC", [](Session& s, std::vector<Row>& rows) { CheckJdbcUrls(s.View(), s.Learnt(), rows); }},
    {Group::Rights, "管理员权限", [](Session& s, std::vector<Row>& rows) { CheckRights(s.View(), rows); }},
}};

// One group on its thread, as far as the waiting run sees it.
struct GroupRun {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::vector<Row> rows;
    std::exception_ptr failure;
};

std::string DurationText(std::chrono::milliseconds bound) {
    if (bound.count() % 1000 == 0) return std::to_string(bound.count() / 1000) + " 秒";
    return std::to_string(bound.count()) + " 毫秒";
}

Row GivenUp(const GroupCheck& check, const std::string& fileInUse, std::chrono::milliseconds bound) {
    std::string explanation = "无法完成检查：超过 " + DurationText(bound) + "没有结果";
    if (!fileInUse.empty())
        explanation += "，读取 " + fileInUse + " 没有返回（不可达的网络路径，或者不是普通文件，如命名管道）";
    // One row stands in for all the rows the group would have given.
    return {check.group, std::string(check.name) + " 检查", Status::Notice, std::move(explanation), std::nullopt};
}

}  // namespace

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
    Session session(inspectors, {});
    for (const GroupCheck& check : kGroupChecks) check.run(session, rows);
    return rows;
}

namespace {

std::vector<Row> RunGroupsWithin(const MachineOpener& open, const std::vector<GroupCheck>& checks,
                                 std::chrono::milliseconds bound, const GroupTimer& timer) {
    std::vector<Row> rows;
    Findings learnt;
    std::shared_ptr<OwnedSession> session;
    for (const GroupCheck& check : checks) {
        const auto started = std::chrono::steady_clock::now();
        if (!session) session = std::make_shared<OwnedSession>(open(), learnt);
        const auto run = std::make_shared<GroupRun>();
        // The check is copied: a thread left behind outlives the list.
        StartDetached([run, session, check] {
            std::vector<Row> found;
            std::exception_ptr failure;
            try {
                check.run(session->session, found);
            } catch (...) {
                failure = std::current_exception();
            }
            const std::lock_guard hold(run->lock);
            run->rows = std::move(found);
            run->failure = failure;
            run->done = true;
            run->finished.notify_all();
        });

        std::unique_lock wait(run->lock);
        const bool finished = run->finished.wait_for(wait, bound, [&] { return run->done; });
        if (timer) timer(check.name, std::chrono::steady_clock::now() - started);
        if (finished) {
            if (run->failure) std::rethrow_exception(run->failure);
            rows.insert(rows.end(), run->rows.begin(), run->rows.end());
            learnt = session->session.Learnt();
            continue;
        }
        rows.push_back(GivenUp(check, session->session.FileInUse(), bound));
        // The thread still uses this session; the next group opens its own.
        session.reset();
    }
    return rows;
}

}  // namespace

std::vector<Row> DiagnoseWithin(const MachineOpener& open, std::chrono::milliseconds bound, const GroupTimer& timer) {
    return RunGroupsWithin(open, {kGroupChecks.begin(), kGroupChecks.end()}, bound, timer);
}

std::vector<Row> DiagnoseWithin(const MachineOpener& open, const StartAttempt& attempt,
                                std::chrono::milliseconds bound) {
    std::vector<GroupCheck> checks = {{Group::ThisStart, "本次启动", [attempt](Session& s, std::vector<Row>& rows) {
                                           const std::vector<Row> found = StartAttemptRows(attempt, s.View());
                                           rows.insert(rows.end(), found.begin(), found.end());
                                       }}};
    checks.insert(checks.end(), kGroupChecks.begin(), kGroupChecks.end());
    return RunGroupsWithin(open, checks, bound, {});
}

}  // namespace qm::diagnosis
