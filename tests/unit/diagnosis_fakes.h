#pragma once

// A machine for the diagnosis to look at: each port is a few maps that a test
// fills with what it wants the checks to find. Everything is absent until set.

#include "diagnosis/diagnose.h"
#include "diagnosis/pe_header.h"
// Free of the test framework, so the benchmark runs over the same machine.
#include "fake_files.h"
#include "tomcat_fakes.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace qm::test {

class FakeRegistry : public RegistryReader {
public:
    using Key = std::tuple<std::string, std::string, RegistryView>;
    std::map<Key, std::string> strings;
    std::map<Key, std::uint32_t> dwords;
    std::map<Key, std::vector<std::string>> multiStrings;

    std::optional<std::string> ReadString(std::string_view keyPath, std::string_view name, RegistryView view) override {
        const auto found = strings.find(Key(keyPath, name, view));
        if (found == strings.end()) return std::nullopt;
        return found->second;
    }
    std::optional<std::uint32_t> ReadDword(std::string_view keyPath, std::string_view name,
                                           RegistryView view) override {
        const auto found = dwords.find(Key(keyPath, name, view));
        if (found == dwords.end()) return std::nullopt;
        return found->second;
    }
    std::optional<std::vector<std::string>> ReadMultiString(std::string_view keyPath, std::string_view name,
                                                            RegistryView view) override {
        const auto found = multiStrings.find(Key(keyPath, name, view));
        if (found == multiStrings.end()) return std::nullopt;
        return found->second;
    }
    // A key exists when a value lies in it or below it.
    bool KeyExists(std::string_view keyPath, RegistryView view) override {
        const auto holds = [&](const auto& values) {
            return std::any_of(values.begin(), values.end(), [&](const auto& entry) {
                const auto& [path, name, valueView] = entry.first;
                return valueView == view && (path == keyPath || (path.size() > keyPath.size() &&
                                                                 path.compare(0, keyPath.size(), keyPath) == 0 &&
                                                                 path[keyPath.size()] == '\\'));
            });
        };
        return holds(strings) || holds(dwords) || holds(multiStrings);
    }
};

class FakeServices : public ServiceInspector {
public:
    std::vector<ServiceDescription> installed;
    std::map<std::string, std::uint32_t, std::less<>> refused;  // name -> error code
    bool listRefused = false;

    void Install(std::string name, std::string binaryPath, std::uint32_t state, std::uint32_t processId = 0) {
        ServiceDescription service;
        service.name = std::move(name);
        service.binaryPath = std::move(binaryPath);
        service.state = state;
        service.processId = processId;
        installed.push_back(std::move(service));
    }
    ServiceDescription& Installed(std::string_view name) {
        return *std::find_if(installed.begin(), installed.end(), [&](const auto& s) { return s.name == name; });
    }

    ServiceLookup Describe(std::string_view name) override {
        if (const auto found = refused.find(name); found != refused.end()) return {found->second, {}};
        for (const ServiceDescription& service : installed)
            if (service.name == name) return {0, service};
        return {1060, {}};
    }
    std::optional<std::vector<ServiceDescription>> DescribeAll() override {
        if (listRefused) return std::nullopt;
        return installed;
    }
};

class FakeNetwork : public NetworkInspector {
public:
    std::optional<std::vector<TcpListener>> listeners = std::vector<TcpListener>{};
    // A port not named binds freely, unless a listener holds it.
    std::map<std::uint16_t, BindOutcome> binds;

    std::optional<std::vector<TcpListener>> Listeners() override { return listeners; }
    BindOutcome TryBind(std::uint16_t port) override {
        const auto found = binds.find(port);
        if (found != binds.end()) return found->second;
        const bool held = listeners && std::any_of(listeners->begin(), listeners->end(),
                                                   [&](const TcpListener& listener) { return listener.port == port; });
        return held ? BindOutcome::Taken : BindOutcome::Free;
    }
};

// Hands out path and command line only for the processes the caller wants,
// as the real walk does.
class FakeProcesses : public ProcessInspector {
public:
    std::vector<ProcessFacts> processes;
    int walks = 0;

    void Add(std::uint32_t id, std::string exeName, std::string path, std::optional<std::string> commandLine = {}) {
        processes.push_back({id, std::move(exeName), std::move(path), std::move(commandLine)});
    }
    std::vector<ProcessFacts> Processes(bool (*wanted)(std::string_view exeName)) override {
        ++walks;
        std::vector<ProcessFacts> listed = processes;
        for (ProcessFacts& process : listed) {
            if (wanted(process.exeName)) continue;
            process.imagePath.reset();
            process.commandLine.reset();
        }
        return listed;
    }
};

class FakeRights : public RightsInspector {
public:
    std::optional<bool> elevated = true;
    std::optional<bool> IsElevated() override { return elevated; }
};

// The names are registered in the native view; the 32-bit one has no key.
class FakeInstanceNames : public InstanceNameSource {
public:
    std::optional<std::vector<std::string>> names = std::vector<std::string>{};
    std::optional<std::vector<std::string>> ReadInstanceNames(RegistryView view) override {
        return view == RegistryView::Native ? names : std::nullopt;
    }
};

class FakeSystemMessages : public SystemMessages {
public:
    std::map<std::uint32_t, std::string> texts;
    std::optional<std::string> MessageOf(std::uint32_t code) override {
        const auto found = texts.find(code);
        if (found == texts.end()) return std::nullopt;
        return found->second;
    }
};

// Answers a datagram to a port with what the test put there; asked ports are remembered.
class FakeDatagrams : public DatagramPort {
public:
    std::map<std::uint16_t, std::string> answers;
    std::vector<std::string> asked;
    std::optional<std::string> Ask(std::uint16_t port, std::string_view request, std::chrono::milliseconds) override {
        asked.emplace_back(request);
        const auto found = answers.find(port);
        if (found == answers.end()) return std::nullopt;
        return found->second;
    }
};

// Every port refuses but those the test lets listen.
class FakeConnector : public TcpConnector {
public:
    std::map<std::uint16_t, ConnectOutcome> outcomes;
    ConnectOutcome Connect(std::uint16_t port, std::chrono::milliseconds) override {
        const auto found = outcomes.find(port);
        return found == outcomes.end() ? ConnectOutcome::Refused : found->second;
    }
};

// The first bytes of an x86 or x64 executable.
inline std::string PeImage(diagnosis::Bitness bitness) {
    std::string image(0x200, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = static_cast<char>(0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    const std::uint16_t machine = bitness == diagnosis::Bitness::Bits32 ? 0x14C : 0x8664;
    image[0x84] = static_cast<char>(machine & 0xFF);
    image[0x85] = static_cast<char>(machine >> 8);
    return image;
}

// All ports together, set up as a working installation: a 64-bit JDK 8 in
// C:\jdk and Tomcat 6 with its 64-bit service runner in C:\tomcat6. Tests
// change what they are about.
struct FakeMachine {
    FakeProcessEnvironment environment;
    FakeRegistry registry;
    FakeFiles files;
    FakeServices services;
    FakeNetwork network;
    FakeProcesses processes;
    FakeRights rights;
    FakeInstanceNames instances;
    FakeDatagrams datagrams;
    FakeConnector connector;
    FakeSystemMessages messages;
    std::string javaHome = "C:\\jdk";
    std::string catalinaHome = "C:\\tomcat6";

    FakeMachine() {
        environment.variables["JAVA_HOME"] = javaHome;
        environment.variables["CATALINA_HOME"] = catalinaHome;
        files.directories = {javaHome, catalinaHome};
        files.files[javaHome + "\\bin\\java.exe"] = "";
        files.files[javaHome + "\\bin\\javac.exe"] = "";
        files.files[javaHome + "\\release"] = "JAVA_VERSION=\"1.8.0_181\"\nOS_NAME=\"Windows\"\n";
        files.files[javaHome + "\\jre\\bin\\server\\jvm.dll"] = PeImage(diagnosis::Bitness::Bits64);
        files.files[catalinaHome + "\\bin\\tomcat6.exe"] = PeImage(diagnosis::Bitness::Bits64);
        files.listings[catalinaHome + "\\logs"] = {};
        WriteServerXml(
            "<Server port=\"8005\" shutdown=\"SHUTDOWN\"><Service name=\"Catalina\">"
            "<Connector port=\"8080\" protocol=\"HTTP/1.1\"/><Connector port=\"8009\" protocol=\"AJP/1.3\"/>"
            "</Service></Server>");
        SetMachineValue("JAVA_HOME", javaHome);
        SetMachineValue("CATALINA_HOME", catalinaHome);
        services.Install("tomcat6", "\"" + catalinaHome + "\\bin\\tomcat6.exe\" //RS//tomcat6", 1);
        files.files[catalinaHome + "\\bin\\bootstrap.jar"] = "";
        SetServiceSetting("Java", "Jvm", javaHome + "\\jre\\bin\\server\\jvm.dll");
        SetServiceSetting("Java", "Classpath", catalinaHome + "\\bin\\bootstrap.jar");
        registry.multiStrings[{ServiceSettingsKey("Java"), "Options", RegistryView::Wow32}] = {
            "-Dcatalina.home=" + catalinaHome, "-Dcatalina.base=" + catalinaHome,
            "-Djava.endorsed.dirs=" + catalinaHome + "\\endorsed"};
        registry.dwords[{ServiceSettingsKey("Java"), "JvmMx", RegistryView::Wow32}] = 512;
        SetServiceSetting("Log", "Path", catalinaHome + "\\logs");
    }
    void WriteServerXml(const std::string& text) { files.files[tomcat::ServerXmlPath(catalinaHome)] = text; }
    // The service runner's settings of service tomcat6, in the 32-bit view
    // where the runner writes them.
    static std::string ServiceSettingsKey(const std::string& subkey) {
        return "SOFTWARE\\Apache Software Foundation\\Procrun 2.0\\tomcat6\\Parameters\\" + subkey;
    }
    void SetServiceSetting(const std::string& subkey, const std::string& name, const std::string& value) {
        registry.strings[{ServiceSettingsKey(subkey), name, RegistryView::Wow32}] = value;
    }
    void SetMachineValue(const std::string& name, const std::string& value) {
        registry
            .strings[{"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", name, RegistryView::Native}] =
            value;
    }

    // An installed instance with its id and TCP settings in one registry view.
    void AddSqlInstance(const std::string& name, const std::string& id, RegistryView view, std::uint32_t tcpEnabled,
                        const std::string& port) {
        instances.names->push_back(name);
        registry.strings[{"SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance Names\\SQL", name, view}] = id;
        const std::string tcp =
            "SOFTWARE\\Microsoft\\Microsoft SQL Server\\" + id + "\\MSSQLServer\\SuperSocketNetLib\\Tcp";
        registry.dwords[{tcp, "Enabled", view}] = tcpEnabled;
        registry.strings[{tcp + "\\IPAll", "TcpPort", view}] = port;
    }

    diagnosis::Inspectors Inspectors() {
        return {.environment = environment,
                .registry = registry,
                .files = files,
                .services = services,
                .network = network,
                .processes = processes,
                .rights = rights,
                .instances = instances,
                .datagrams = datagrams,
                .connector = connector,
                .messages = messages};
    }
    std::vector<diagnosis::Row> Diagnose() { return diagnosis::Diagnose(Inspectors()); }
};

// The rows of one item, in report order.
inline std::vector<diagnosis::Row> RowsOf(const std::vector<diagnosis::Row>& rows, std::string_view item) {
    std::vector<diagnosis::Row> found;
    for (const diagnosis::Row& row : rows)
        if (row.item == item) found.push_back(row);
    return found;
}

// The one row of an item; any other count fails the test that asks.
inline diagnosis::Row OnlyRow(const std::vector<diagnosis::Row>& rows, std::string_view item) {
    const std::vector<diagnosis::Row> found = RowsOf(rows, item);
    if (found.size() != 1)
        throw std::runtime_error(std::to_string(found.size()) + " rows of " + std::string(item) + ", not one");
    return found.front();
}

}  // namespace qm::test
