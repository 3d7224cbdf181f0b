// What one click of "开始诊断" costs in the checks themselves, on a machine of
// 300 processes with Tomcat running, two SQL Server instances and a quiet log.
// The inspectors are fakes: the system calls behind them are timed with the
// page under Wine.
#include <benchmark/benchmark.h>

#include "../tests/unit/diagnosis_fakes.h"

namespace {

void FillBusyMachine(qm::test::FakeMachine& machine) {
    const char* const kNames[] = {"svchost.exe", "explorer.exe", "chrome.exe", "conhost.exe", "RuntimeBroker.exe"};
    for (std::uint32_t id = 100; id < 397; ++id)
        machine.processes.Add(id * 4, kNames[id % 5], "C:\\Windows\\System32\\" + std::string(kNames[id % 5]));
    machine.processes.Add(5000, "tomcat6.exe", machine.catalinaHome + "\\bin\\tomcat6.exe",
                          "\"" + machine.catalinaHome + "\\bin\\tomcat6.exe\" //RS//tomcat6");
    machine.processes.Add(5004, "javaw.exe", "C:\\jdk\\bin\\javaw.exe", "javaw -version");
    machine.processes.Add(5008, "sqlservr.exe", "C:\\Program Files\\SQL\\sqlservr.exe");
    machine.network.listeners =
        std::vector<qm::TcpListener>{{135, 400}, {445, 4}, {8005, 5000}, {8080, 5000}, {8009, 5000}, {1433, 5008}};
    machine.services.Installed("tomcat6").state = 4;
    machine.services.Installed("tomcat6").processId = 5000;
    for (int i = 0; i < 200; ++i)
        machine.services.Install("Service" + std::to_string(i), "C:\\Windows\\System32\\svchost.exe -k netsvcs", 4,
                                 400);
    machine.services.Install("MSSQLSERVER", "sqlservr.exe", 4, 5008);
    machine.services.Install("MSSQL$SQLEXPRESS", "sqlservr.exe -sSQLEXPRESS", 4);
    machine.services.Install("SQLBrowser", "sqlbrowser.exe", 4);
    machine.AddSqlInstance("MSSQLSERVER", "MSSQL10_50.MSSQLSERVER", qm::RegistryView::Native, 1, "1433");
    machine.AddSqlInstance("SQLEXPRESS", "MSSQL10_50.SQLEXPRESS", qm::RegistryView::Native, 1, "");

    const std::string logs = machine.catalinaHome + "\\logs";
    machine.files.listings[logs] = {{"catalina.2026-12-08.log", false, 2}, {"localhost.2026-12-08.log", false, 1}};
    std::string log;
    while (log.size() < 64 * 1024)
        log += "2026-12-8 9:00:00 org.apache.catalina.startup.Catalina start\r\n信息: Server startup in 812 ms\r\n";
    machine.files.files[logs + "\\catalina.2026-12-08.log"] = log;
}

void RunDiagnosis(benchmark::State& state, qm::test::FakeMachine& machine) {
    std::size_t rows = 0;
    for (auto _ : state) {
        const auto report = machine.Diagnose();
        rows = report.size();
        benchmark::DoNotOptimize(report.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_DiagnoseBusyMachine(benchmark::State& state) {
    qm::test::FakeMachine machine;
    FillBusyMachine(machine);
    RunDiagnosis(state, machine);
}
BENCHMARK(BM_DiagnoseBusyMachine)->Unit(benchmark::kMicrosecond);

// Another program on the HTTP port: its name and path take a second walk
// over every process.
void BM_DiagnosePortOfAnotherProgram(benchmark::State& state) {
    qm::test::FakeMachine machine;
    FillBusyMachine(machine);
    machine.network.listeners->at(3).ownerProcessId = 400;
    RunDiagnosis(state, machine);
}
BENCHMARK(BM_DiagnosePortOfAnotherProgram)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
