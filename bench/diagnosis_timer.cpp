// diagnosis_timer [PROCESSES] [RUNS]
// Times the whole diagnosis with the real inspectors on a machine with many
// processes: starts PROCESSES copies of itself that only wait (a few of them
// as java.exe of a Tomcat installation, whose command lines the diagnosis
// reads), sets up that installation in a temporary directory with its
// service and the service runner's settings, runs the diagnosis RUNS times
// on the page's own machine and prints each time, each check group's share,
// the median and the slowest; then one run through timed views.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/diagnosis_machine_win.h"
#include "diagnosis/diagnose.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/instance_names_win.h"
#include "platform/win32/loopback_network_win.h"

namespace {

namespace fs = std::filesystem;
constexpr wchar_t kWaitArgument[] = L"--wait";
constexpr int kJavaProcesses = 5;

struct Child {
    qm::win32::UniqueKernelHandle process;
};

bool Start(const fs::path& program, const std::wstring& arguments, std::vector<Child>& children) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // Detached: no console, so no console host process beside each of them.
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &started))
        return false;
    CloseHandle(started.hThread);
    children.push_back({qm::win32::UniqueKernelHandle(started.hProcess)});
    return true;
}

void WriteFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

fs::path OwnPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// A JDK and a Tomcat as a user has them, with logs of some size to search.
void SetUpInstallation(const fs::path& root) {
    WriteFile(root / "jdk" / "release", "JAVA_VERSION=\"1.6.0_45\"\n");
    WriteFile(root / "jdk" / "bin" / "javac.exe", "x");
    fs::create_directories(root / "jdk" / "jre" / "bin" / "server");
    fs::copy_file(OwnPath(), root / "jdk" / "bin" / "java.exe", fs::copy_options::overwrite_existing);
    fs::copy_file(OwnPath(), root / "jdk" / "jre" / "bin" / "server" / "jvm.dll", fs::copy_options::overwrite_existing);
    fs::create_directories(root / "tomcat" / "bin");
    fs::copy_file(OwnPath(), root / "tomcat" / "bin" / "tomcat6.exe", fs::copy_options::overwrite_existing);
    WriteFile(root / "tomcat" / "conf" / "server.xml",
              "<?xml version='1.0' encoding='utf-8'?>\n<Server port=\"18005\" shutdown=\"SHUTDOWN\">\n"
              "  <Service name=\"Catalina\">\n    <Connector port=\"18080\" protocol=\"HTTP/1.1\" />\n"
              "    <Connector port=\"18009\" protocol=\"AJP/1.3\" />\n  </Service>\n</Server>\n");
    std::string log;
    while (log.size() < 512 * 1024) log += "INFO: org.apache.catalina.startup.Catalina start\r\n";
    for (const char* name :
         {"catalina.2026-12-08.log", "localhost.2026-12-08.log", "commons-daemon.2026-12-08.log",
          "tomcat6-stderr.2026-12-08.log", "tomcat6-stdout.2026-12-08.log", "localhost_access_log.2026-12-08.txt"})
        WriteFile(root / "tomcat" / "logs" / name, log);
}

constexpr wchar_t kRunnerKey[] = L"SOFTWARE\\Apache Software Foundation\\Procrun 2.0";

void SetRunnerSetting(const std::wstring& subkey, const wchar_t* name, DWORD type, const std::wstring& text) {
    const std::wstring path = std::wstring(kRunnerKey) + L"\\tomcat6\\Parameters\\" + subkey;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const qm::win32::UniqueRegistryKey owned(key);
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The installation's service tomcat6 with its runner's settings, so that the
// diagnosis reads them and the runner's logs. An existing tomcat6 is left as
// it is; nothing is created then.
class BenchService {
public:
    explicit BenchService(const fs::path& root) {
        manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager_) return;
        const std::wstring commandLine =
            L"\"" + (root / "tomcat" / "bin" / "tomcat6.exe").wstring() + L"\" //RS//tomcat6";
        service_.reset(CreateServiceW(manager_.get(), L"tomcat6", L"tomcat6", SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                      commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service_) return;
        SetRunnerSetting(L"Java", L"Jvm", REG_SZ, (root / "jdk" / "jre" / "bin" / "server" / "jvm.dll").wstring());
        SetRunnerSetting(L"Java", L"Classpath", REG_SZ, (root / "tomcat" / "bin" / "bootstrap.jar").wstring());
        SetRunnerSetting(L"Java", L"Options", REG_MULTI_SZ,
                         L"-Dcatalina.home=" + (root / "tomcat").wstring() + L'\0' + L"-Dcatalina.base=" +
                             (root / "tomcat").wstring() + L'\0');
        SetRunnerSetting(L"Log", L"Path", REG_SZ, (root / "tomcat" / "logs").wstring());
    }
    ~BenchService() {
        if (!service_) return;
        DeleteService(service_.get());
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunnerKey, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
            const qm::win32::UniqueRegistryKey owned(key);
            RegDeleteTreeW(key, L"tomcat6");
            RegDeleteKeyExW(key, L"tomcat6", KEY_WOW64_32KEY, 0);
        }
    }
    BenchService(const BenchService&) = delete;
    BenchService& operator=(const BenchService&) = delete;

private:
    qm::win32::UniqueServiceHandle manager_;
    qm::win32::UniqueServiceHandle service_;
};

double Milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The calls to one view and the time they took together.
struct Meter {
    double milliseconds = 0;
    int calls = 0;
};

template <typename Call>
auto Timed(Meter& total, Call&& call) {
    const auto start = std::chrono::steady_clock::now();
    auto result = call();
    total.milliseconds += Milliseconds(std::chrono::steady_clock::now() - start);
    ++total.calls;
    return result;
}

// The real views, each timed: where a slow diagnosis spends its time.
struct Spent {
    Meter files, registry, services, listeners, binds, processes, rights;
};

class TimedFiles final : public qm::FileInspector {
public:
    explicit TimedFiles(Meter& total) : total_(total) {}
    bool IsDirectory(std::string_view p) override {
        return Timed(total_, [&] { return real_.IsDirectory(p); });
    }
    bool IsFile(std::string_view p) override {
        return Timed(total_, [&] { return real_.IsFile(p); });
    }
    bool Exists(std::string_view p) override {
        return Timed(total_, [&] { return real_.Exists(p); });
    }
    std::optional<std::string> ReadHead(std::string_view p, std::size_t n) override {
        return Timed(total_, [&] { return real_.ReadHead(p, n); });
    }
    std::optional<std::string> ReadTail(std::string_view p, std::size_t n) override {
        return Timed(total_, [&] { return real_.ReadTail(p, n); });
    }
    std::optional<std::vector<qm::DirectoryItem>> List(std::string_view d) override {
        return Timed(total_, [&] { return real_.List(d); });
    }
    std::optional<qm::LocalTime> ToLocalTime(std::uint64_t t) override {
        return Timed(total_, [&] { return real_.ToLocalTime(t); });
    }

private:
    qm::win32::Win32FileInspector real_;
    Meter& total_;
};

class TimedRegistry final : public qm::RegistryReader {
public:
    explicit TimedRegistry(Meter& total) : total_(total) {}
    std::optional<std::string> ReadString(std::string_view k, std::string_view n, qm::RegistryView v) override {
        return Timed(total_, [&] { return real_.ReadString(k, n, v); });
    }
    std::optional<std::uint32_t> ReadDword(std::string_view k, std::string_view n, qm::RegistryView v) override {
        return Timed(total_, [&] { return real_.ReadDword(k, n, v); });
    }
    std::optional<std::vector<std::string>> ReadMultiString(std::string_view k, std::string_view n,
                                                            qm::RegistryView v) override {
        return Timed(total_, [&] { return real_.ReadMultiString(k, n, v); });
    }
    bool KeyExists(std::string_view k, qm::RegistryView v) override {
        return Timed(total_, [&] { return real_.KeyExists(k, v); });
    }

private:
    qm::win32::Win32RegistryReader real_;
    Meter& total_;
};

class TimedServices final : public qm::ServiceInspector {
public:
    explicit TimedServices(Meter& total) : total_(total) {}
    qm::ServiceLookup Describe(std::string_view n) override {
        return Timed(total_, [&] { return real_.Describe(n); });
    }
    std::optional<std::vector<qm::ServiceDescription>> DescribeAll() override {
        return Timed(total_, [&] { return real_.DescribeAll(); });
    }

private:
    qm::win32::Win32ServiceInspector real_;
    Meter& total_;
};

class TimedNetwork final : public qm::NetworkInspector {
public:
    TimedNetwork(Meter& listeners, Meter& binds) : listeners_(listeners), binds_(binds) {}
    std::optional<std::vector<qm::TcpListener>> Listeners() override {
        return Timed(listeners_, [&] { return real_.Listeners(); });
    }
    qm::BindOutcome TryBind(std::uint16_t port) override {
        return Timed(binds_, [&] { return real_.TryBind(port); });
    }

private:
    qm::win32::Win32NetworkInspector real_;
    Meter& listeners_;
    Meter& binds_;
};

class TimedProcesses final : public qm::ProcessInspector {
public:
    explicit TimedProcesses(Meter& total) : total_(total) {}
    std::vector<qm::ProcessFacts> Processes(bool (*wanted)(std::string_view)) override {
        return Timed(total_, [&] { return real_.Processes(wanted); });
    }

private:
    qm::win32::Win32ProcessInspector real_;
    Meter& total_;
};

class TimedRights final : public qm::RightsInspector {
public:
    explicit TimedRights(Meter& total) : total_(total) {}
    std::optional<bool> IsElevated() override {
        return Timed(total_, [&] { return real_.IsElevated(); });
    }

private:
    qm::win32::Win32RightsInspector real_;
    Meter& total_;
};

// Every view timed: which views a run calls how often, and for how long.
class TimedMachine final : public qm::diagnosis::Machine {
public:
    explicit TimedMachine(Spent& spent)
        : registry_(spent.registry),
          files_(spent.files),
          services_(spent.services),
          network_(spent.listeners, spent.binds),
          processes_(spent.processes),
          rights_(spent.rights) {}
    qm::diagnosis::Inspectors View() override {
        return {.environment = environment_,
                .registry = registry_,
                .files = files_,
                .services = services_,
                .network = network_,
                .processes = processes_,
                .rights = rights_,
                .instances = instances_,
                .datagrams = datagrams_,
                .connector = connector_,
                .messages = messages_};
    }

private:
    qm::win32::CurrentProcessEnvironment environment_;
    TimedRegistry registry_;
    TimedFiles files_;
    TimedServices services_;
    TimedNetwork network_;
    TimedProcesses processes_;
    TimedRights rights_;
    qm::win32::Win32SystemMessages messages_;
    qm::win32::RegistryInstanceNames instances_;
    qm::win32::Win32DatagramPort datagrams_;
    qm::win32::Win32TcpConnector connector_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[argc - 1]) == kWaitArgument) {
        Sleep(10 * 60 * 1000);  // ended by the timer; gone on its own if the timer dies
        return 0;
    }
    const int processes = argc > 1 ? _wtoi(argv[1]) : 300;
    const int runs = std::max(argc > 2 ? _wtoi(argv[2]) : 10, 1);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path root = fs::path(temp) / ("qm-diagnosis-bench-" + std::to_string(GetCurrentProcessId()));
    SetUpInstallation(root);
    const BenchService service(root);
    SetEnvironmentVariableW(L"JAVA_HOME", (root / "jdk").c_str());
    SetEnvironmentVariableW(L"CATALINA_HOME", (root / "tomcat").c_str());

    std::vector<Child> children;
    const std::wstring javaArguments = L"-Dcatalina.home=\"" + (root / "tomcat").wstring() +
                                       L"\" org.apache.catalina.startup.Bootstrap start " + kWaitArgument;
    for (int i = 0; i < processes; ++i) {
        const bool java = i < kJavaProcesses;
        if (!Start(java ? root / "jdk" / "bin" / "java.exe" : OwnPath(), java ? javaArguments : kWaitArgument,
                   children)) {
            std::printf("could start only %d of %d processes (error %lu)\n", i, processes, GetLastError());
            break;
        }
    }
    const std::size_t running = qm::win32::Win32ProcessInspector().Processes(nullptr).size();
    std::printf("%zu waiting processes started, %zu processes running\n", children.size(), running);

    // The page's own machine, each group on a thread of its own, as the page runs them.
    std::vector<double> times;
    std::size_t rows = 0;
    std::vector<std::pair<std::string, double>> groups;  // milliseconds over all runs, in report order
    const qm::diagnosis::GroupTimer timer = [&](std::string_view group, std::chrono::steady_clock::duration spent) {
        auto at = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == group; });
        if (at == groups.end()) at = groups.insert(groups.end(), {std::string(group), 0.0});
        at->second += Milliseconds(spent);
    };
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        rows = qm::diagnosis::DiagnoseWithin([] { return std::make_unique<qm::app::DiagnosisMachine>(); },
                                             qm::diagnosis::kGroupBound, timer)
                   .size();
        times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
        std::printf("run %d: %.1f ms\n", run + 1, times.back());
    }
    double total = 0;
    for (const auto& group : groups) total += group.second;
    std::printf("share of the time per check group:");
    for (const auto& [name, milliseconds] : groups)
        std::printf(" %s %.0f%% (%.1f ms),", name.c_str(), total > 0 ? 100 * milliseconds / total : 0.0,
                    milliseconds / runs);
    std::printf("\n");

    // One more run through timed views.
    Spent spent;
    qm::diagnosis::DiagnoseWithin([&] { return std::make_unique<TimedMachine>(spent); });
    std::printf("calls and ms per view in one run:");
    const std::pair<const char*, const Meter*> meters[] = {
        {"files", &spent.files},         {"registry", &spent.registry}, {"services", &spent.services},
        {"listeners", &spent.listeners}, {"binds", &spent.binds},       {"processes", &spent.processes},
        {"rights", &spent.rights}};
    for (const auto& [name, meter] : meters) std::printf(" %s %d %.1f,", name, meter->calls, meter->milliseconds);
    std::printf("\n");

    for (Child& child : children) TerminateProcess(child.process.get(), 0);
    for (Child& child : children) WaitForSingleObject(child.process.get(), 5000);
    std::error_code ignored;
    fs::remove_all(root, ignored);

    std::sort(times.begin(), times.end());
    std::printf("diagnosis among %zu processes, %zu rows: median %.1f ms, slowest %.1f ms\n", running, rows,
                times[times.size() / 2], times.back());
    // For bench/summary.
    std::printf("diagnosis-median-ms %.1f\n", times[times.size() / 2]);
    return 0;
}
