// The JDBC URLs of SQL Server that this Tomcat will use, each followed to the
// local instance it names, in the order a connection fails: the instance and
// its service, TCP, the port (asked of the SQL Server Browser as the driver
// asks), a TCP connection, the login mode, integratedSecurity's DLL, and the
// driver jar. Each URL ends at its first error.

#include <algorithm>
#include <cstdio>
#include <map>

#include "diagnosis/checks.h"
#include "diagnosis/jdbc_sources.h"
#include "services/service_control.h"
#include "sqlserver/instance_names.h"
#include "sqlserver/resolution_protocol.h"
#include "text/port_number.h"

namespace qm::diagnosis {
namespace {

using sqlserver::JdbcDriver;
using sqlserver::JdbcUrl;

// What the driver itself waits for the Browser's answer is about as long;
// a local server that answers at all answers within milliseconds.
constexpr std::chrono::milliseconds kNetworkStepBound{1000};
// The steps of all URLs together stay well inside the group's bound.
constexpr std::chrono::milliseconds kNetworkBudget{6000};
constexpr std::uint32_t kServiceDoesNotExist = 1060;
constexpr std::uint32_t kWindowsLoginsOnly = 1;
constexpr std::string_view kDefaultInstance = "MSSQLSERVER";
constexpr std::string_view kBrowserService = "SQLBrowser";
constexpr std::string_view kLibraryPathOption = "-Djava.library.path=";
constexpr std::string_view kAuthDllStart = "mssql-jdbc_auth-";
// The first driver that encrypts unless told not to.
constexpr std::pair<int, int> kFirstEncryptingDriver{10, 2};

std::string Joined(const std::vector<std::string>& parts, std::string_view between) {
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : std::string(between)) + part;
    return joined;
}

// A registry value of ports: "1433", or several separated by commas.
std::vector<unsigned> PortList(const std::optional<std::string>& value) {
    std::vector<unsigned> ports;
    if (!value) return ports;
    std::string_view rest = *value;
    while (!rest.empty()) {
        const std::size_t comma = std::min(rest.find(','), rest.size());
        if (const auto port = text::PortNumber(rest.substr(0, comma)); port && *port != 0) ports.push_back(*port);
        rest.remove_prefix(std::min(comma + 1, rest.size()));
    }
    return ports;
}

struct InstancePorts {
    std::vector<unsigned> fixed;    // TcpPort
    std::vector<unsigned> dynamic;  // TcpDynamicPorts: where the instance listens since its last start
    bool Has(unsigned port) const {
        return std::count(fixed.begin(), fixed.end(), port) + std::count(dynamic.begin(), dynamic.end(), port) > 0;
    }
    bool Empty() const { return fixed.empty() && dynamic.empty(); }
    std::string Text() const {
        const auto list = [](const std::vector<unsigned>& ports) {
            std::vector<std::string> texts;
            for (unsigned port : ports) texts.push_back(std::to_string(port));
            return Joined(texts, ",");
        };
        if (Empty()) return "没有设置端口";
        std::string shown;
        if (!fixed.empty()) shown = "静态端口 " + list(fixed);
        if (!dynamic.empty()) shown += (shown.empty() ? "" : "，") + std::string("动态端口 ") + list(dynamic);
        return shown;
    }
};

// mssql-jdbc-12.4.2.jre11.jar, also with -preview after jre<N>.
struct DriverJar {
    std::string path;
    std::string version;
    std::pair<int, int> release{0, 0};
    int jre = 0;
};

std::optional<DriverJar> DriverJarNamed(std::string_view directory, std::string_view name) {
    constexpr std::string_view kStart = "mssql-jdbc-";
    if (!StartsFolded(name, kStart) || !EndsFolded(name, ".jar")) return std::nullopt;
    const std::string_view middle = name.substr(kStart.size(), name.size() - kStart.size() - 4);
    const std::size_t jre = text::AsciiLowered(middle).find(".jre");
    if (jre == std::string_view::npos) return std::nullopt;
    DriverJar jar;
    jar.path = ShownPath(JoinPath(directory, name));
    jar.version = std::string(middle.substr(0, jre));
    std::sscanf(jar.version.c_str(), "%d.%d", &jar.release.first, &jar.release.second);
    std::sscanf(std::string(middle.substr(jre + 4)).c_str(), "%d", &jar.jre);
    return jar;
}

// The network steps of one run: each port and instance is asked once, and
// all of them together stop at the budget.
class Probes {
    // Defined before its callers: they need its deduced type.
    template <typename Step>
    auto Timed(Step step) {
        const auto start = std::chrono::steady_clock::now();
        auto outcome = step();
        spent_ += std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        return outcome;
    }

public:
    Probes(DatagramPort& datagrams, TcpConnector& connector) : datagrams_(datagrams), connector_(connector) {}

    bool Spent() const { return spent_ >= kNetworkBudget; }

    ConnectOutcome Connect(unsigned port) {
        if (const auto known = connected_.find(port); known != connected_.end()) return known->second;
        const auto outcome =
            Timed([&] { return connector_.Connect(static_cast<std::uint16_t>(port), kNetworkStepBound); });
        connected_[port] = outcome;
        return outcome;
    }

    std::optional<std::string> AskBrowser(const std::string& instance) {
        const std::string folded = text::AsciiLowered(instance);
        if (const auto known = answers_.find(folded); known != answers_.end()) return known->second;
        auto answer = Timed([&] {
            return datagrams_.Ask(static_cast<std::uint16_t>(sqlserver::kBrowserPort),
                                  sqlserver::InstanceRequest(instance), kNetworkStepBound);
        });
        answers_[folded] = answer;
        return answer;
    }

private:
    DatagramPort& datagrams_;
    TcpConnector& connector_;
    std::chrono::milliseconds spent_{0};
    std::map<unsigned, ConnectOutcome> connected_;
    std::map<std::string, std::optional<std::string>> answers_;
};

class UrlCheck {
public:
    UrlCheck(const Inspectors& inspectors, const Findings& findings, const std::vector<std::string>& installed,
             Probes& probes, const JdbcSource& source, GroupRows& rows)
        : inspectors_(inspectors),
          findings_(findings),
          installed_(installed),
          probes_(probes),
          source_(source),
          url_(*source.parsed),
          rows_(rows),
          item_("JDBC " + Target()),
          where_(source.url + "（" + source.file + "）") {}

    void Run() {
        if (source_.backslashDropped)
            Add(Status::Notice, where_ +
                                    "：Java 读 .properties 时去掉了 \\ 后字母前的反斜杠（localhost\\SQLEXPRESS "
                                    "读成 localhostSQLEXPRESS），请把 \\ 写成 \\\\");
        if (!sqlserver::IsThisMachine(url_.host, inspectors_.environment.Get("COMPUTERNAME"))) {
            Add(Status::Ok, where_ + "：主机 " + url_.host + " 不是本机，诊断不检查其他计算机上的 SQL Server");
            return;
        }
        const std::optional<std::string> instance = Instance();
        if (!instance || !ServiceRuns(*instance)) return;
        const std::optional<InstanceKey> key = InstanceKeyOf(inspectors_.registry, *instance);
        if (!key)
            Add(Status::Notice,
                where_ + "：无法从注册表读出实例 " + *instance + " 的 ID，没有检查它的 TCP/IP、端口和登录方式");
        if (key && !TcpEnabled(*instance, *key)) return;
        const std::optional<unsigned> port = Port(*instance, key);
        if (!port || !Connects(*instance, *port)) return;
        if (key && !LoginAccepted(*instance, *key)) return;
        if (url_.driver == JdbcDriver::Microsoft) {
            const std::optional<DriverJar> driver = Driver();
            if (url_.integratedSecurity && !EqualFolded(url_.authenticationScheme, "JavaKerberos") &&
                !AuthDllFound(driver))
                return;
            if (!DriverFits(driver)) return;
        }
        Add(Status::Ok, where_ + "：可以连接实例 " + *instance + "（127.0.0.1:" + std::to_string(*port) + "）");
    }

private:
    void Add(Status status, std::string explanation) { rows_.Add(item_, status, std::move(explanation)); }

    std::string Target() const {
        std::string target = url_.host.empty() ? "localhost" : url_.host;
        if (!url_.instance.empty()) target += "\\" + url_.instance;
        if (url_.port) target += ":" + std::to_string(*url_.port);
        return target;
    }

    InstancePorts PortsOf(const InstanceKey& key) {
        const std::string all = sqlserver::TcpKeyPath(key) + "\\IPAll";
        return {PortList(inspectors_.registry.ReadString(all, "TcpPort", key.view)),
                PortList(inspectors_.registry.ReadString(all, "TcpDynamicPorts", key.view))};
    }

    std::string InstalledText() const {
        return installed_.empty() ? std::string("本机没有安装 SQL Server 实例")
                                  : "已安装的实例：" + Joined(installed_, "、");
    }

    // The instance the URL names, as installed; or, for a URL without a
    // name, the default instance, else the installed one on the URL's port.
    std::optional<std::string> Instance() {
        if (!url_.instance.empty()) {
            for (const std::string& name : installed_)
                if (EqualFolded(name, url_.instance)) return name;
            Add(Status::Error, where_ + "：URL 指定的实例 " + url_.instance + " 没有安装，" + InstalledText());
            return std::nullopt;
        }
        for (const std::string& name : installed_)
            if (EqualFolded(name, kDefaultInstance)) return name;
        if (installed_.empty()) {
            Add(Status::Error, where_ + "：URL 连接默认实例 MSSQLSERVER，" + InstalledText());
            return std::nullopt;
        }
        const unsigned port = url_.port.value_or(sqlserver::kDefaultSqlServerPort);
        std::vector<std::string> ports;
        for (const std::string& name : installed_) {
            const std::optional<InstanceKey> key = InstanceKeyOf(inspectors_.registry, name);
            const InstancePorts listed = key ? PortsOf(*key) : InstancePorts{};
            if (listed.Has(port)) return name;
            ports.push_back(name + " " + (key ? listed.Text() : std::string("端口未知")));
        }
        Add(Status::Error, where_ + "：URL 没有指定实例，连接端口 " + std::to_string(port) +
                               "，本机没有默认实例 MSSQLSERVER，也没有实例使用这个端口（" + Joined(ports, "；") + "）");
        return std::nullopt;
    }

    bool ServiceRuns(const std::string& instance) {
        const std::string service = sqlserver::ServiceNameOf(instance);
        const ServiceLookup lookup = inspectors_.services.Describe(service);
        if (lookup.error == kServiceDoesNotExist) {
            Add(Status::Error, where_ + "：没有安装实例 " + instance + " 的服务 " + service);
            return false;
        }
        if (lookup.error != 0) {
            Add(Status::Notice,
                where_ + "：无法查询服务 " + service + "（错误代码 " + std::to_string(lookup.error) + "）");
            return true;
        }
        if (lookup.service.state == services::kRunning) return true;
        Add(Status::Error, where_ + "：实例 " + instance + " 的服务 " + service + " " +
                               ServiceStateText(lookup.service.state) + "，JDBC 无法连接");
        return false;
    }

    bool TcpEnabled(const std::string& instance, const InstanceKey& key) {
        const std::optional<std::uint32_t> enabled =
            inspectors_.registry.ReadDword(sqlserver::TcpKeyPath(key), "Enabled", key.view);
        if (!enabled) {
            Add(Status::Notice, where_ + "：无法读出实例 " + instance + " 的 TCP/IP 是否启用（" + key.id + "）");
            return true;
        }
        if (*enabled != 0) return true;
        Add(Status::Error, where_ + "：实例 " + instance +
                               " 的 TCP/IP 已关闭，JDBC 只能通过 TCP 连接。请在 SQL Server "
                               "配置管理器的网络配置中启用 TCP/IP，然后重启实例");
        return false;
    }

    std::optional<unsigned> Port(const std::string& instance, const std::optional<InstanceKey>& key) {
        const InstancePorts ports = key ? PortsOf(*key) : InstancePorts{};
        // Microsoft's driver takes a port over the name; jTDS asks for the
        // named instance's port whatever the URL says.
        const bool askBrowser = !url_.instance.empty() && (!url_.port || url_.driver == JdbcDriver::Jtds);
        if (askBrowser) return BrowserPort(instance, ports);
        const unsigned port = url_.port.value_or(sqlserver::kDefaultSqlServerPort);
        const std::string urlPort = url_.port ? "URL 的端口 " + std::to_string(port)
                                              : "URL 没有写端口，驱动连接默认端口 " + std::to_string(port);
        if (!key) return port;
        if (ports.Empty()) {
            Add(Status::Notice, where_ + "：注册表中没有实例 " + instance + " 的 TCP 端口（" + key->id + "）");
            return port;
        }
        if (ports.Has(port)) return port;
        Add(Status::Error, where_ + "：" + urlPort + "，实例 " + instance + " 的" + ports.Text() + "，两者不同");
        return std::nullopt;
    }

    std::optional<unsigned> BrowserPort(const std::string& instance, const InstancePorts& ports) {
        const std::string hint = ports.Empty() ? std::string() : "，或在 URL 中写明实例的端口（" + ports.Text() + "）";
        // jTDS asks also when the URL gives a port.
        const std::string why = "：URL 按实例名 " + instance +
                                (url_.port ? " 连接（jTDS 不用 URL 中的端口）" : " 连接而没有写端口") +
                                "，驱动要通过 UDP 1434 向 SQL Server Browser 询问端口";
        const ServiceLookup lookup = inspectors_.services.Describe(kBrowserService);
        if (lookup.error == kServiceDoesNotExist) {
            Add(Status::Error, where_ + why + "，但没有安装服务 SQLBrowser。请安装它" + hint);
            return std::nullopt;
        }
        if (lookup.error == 0 && lookup.service.state != services::kRunning) {
            Add(Status::Error,
                where_ + why + "，但服务 SQLBrowser " + ServiceStateText(lookup.service.state) + "。请启动它" + hint);
            return std::nullopt;
        }
        if (probes_.Spent()) return OutOfTime();
        const std::optional<std::string> answer = probes_.AskBrowser(instance);
        if (!answer) {
            Add(Status::Error,
                where_ + why + "，但它在 1 秒内没有回答（127.0.0.1 的 UDP 1434）：驱动会在这里超时" + hint);
            return std::nullopt;
        }
        const std::optional<unsigned> port = sqlserver::TcpPortInAnswer(*answer, instance);
        if (!port)
            Add(Status::Error, where_ + "：SQL Server Browser 的回答中没有实例 " + instance +
                                   " 的 TCP 端口：实例没有在 TCP 上监听" + hint);
        return port;
    }

    std::optional<unsigned> OutOfTime() {
        Add(Status::Notice, where_ + "：网络检查已用去 " + std::to_string(kNetworkBudget.count() / 1000) +
                                " 秒，没有再检查这个 URL 的连接");
        return std::nullopt;
    }

    bool Connects(const std::string& instance, unsigned port) {
        if (probes_.Spent()) return OutOfTime().has_value();
        const std::string address = "127.0.0.1:" + std::to_string(port);
        switch (probes_.Connect(port)) {
        case ConnectOutcome::Connected:
            return true;
        case ConnectOutcome::Refused:
            Add(Status::Error, where_ + "：" + address + " 拒绝连接，实例 " + instance + " 没有在端口 " +
                                   std::to_string(port) + " 上监听（动态端口在实例每次启动后可能改变）");
            return false;
        case ConnectOutcome::TimedOut:
            Add(Status::Error, where_ + "：1 秒内没有连上 " + address + "（端口 " + std::to_string(port) + "）：实例 " +
                                   instance + " 没有在这个端口上监听，或没有回应");
            return false;
        case ConnectOutcome::Failed:
            break;
        }
        Add(Status::Notice, where_ + "：无法尝试连接 " + address);
        return true;
    }

    bool LoginAccepted(const std::string& instance, const InstanceKey& key) {
        if (!sqlserver::UsesSqlLogin(url_, source_.userBeside)) return true;
        const std::optional<std::uint32_t> mode =
            inspectors_.registry.ReadDword(sqlserver::ServerKeyPath(key), "LoginMode", key.view);
        if (mode != kWindowsLoginsOnly) return true;
        const std::string user = url_.user.empty() ? source_.userBeside : url_.user;
        Add(Status::Error, where_ + "：以 SQL Server 登录名 " + user + " 连接，但实例 " + instance +
                               " 只接受 Windows 登录（LoginMode 1）。请把实例的服务器身份验证改为“SQL Server 和 "
                               "Windows 身份验证模式”并重启实例");
        return false;
    }

    // The driver a webapp loads: its own WEB-INF\lib first, then Tomcat's lib.
    std::optional<DriverJar> Driver() {
        std::vector<std::pair<std::string, std::vector<std::string>>> places;
        if (source_.webappIsArchive)
            places.emplace_back(ShownPath(source_.webapp) + " 中的 WEB-INF/lib", source_.archiveLibraries);
        else if (!source_.webapp.empty())
            places.emplace_back(JoinPath(source_.webapp, "WEB-INF\\lib"),
                                Names(JoinPath(source_.webapp, "WEB-INF\\lib")));
        const std::string lib = JoinPath(findings_.catalinaHome, "lib");
        places.emplace_back(lib, Names(lib));
        for (const auto& [directory, names] : places)
            for (const std::string& name : names)
                if (auto jar = DriverJarNamed(directory, name)) return jar;
        return std::nullopt;
    }

    std::vector<std::string> Names(const std::string& directory) {
        std::vector<std::string> names;
        if (auto items = inspectors_.files.List(directory))
            for (const DirectoryItem& item : *items)
                if (!item.directory) names.push_back(item.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    // Where the service's Java loads native libraries from: the option,
    // else the bin of the service's JVM (jvm.dll lies in bin\server), else
    // JAVA_HOME's bin for a Tomcat started from the console.
    std::vector<std::string> LibraryPath() {
        for (const std::string& option : findings_.serviceOptions) {
            if (!option.starts_with(kLibraryPathOption)) continue;
            std::vector<std::string> directories;
            std::string_view rest = option;
            rest.remove_prefix(kLibraryPathOption.size());
            while (!rest.empty()) {
                const std::size_t end = std::min(rest.find(';'), rest.size());
                std::string_view entry = text::Trimmed(rest.substr(0, end), " \"");
                if (!entry.empty()) directories.push_back(ExpandVariables(entry, inspectors_.environment));
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            return directories;
        }
        std::string bin = findings_.serviceJvm;
        for (int up = 0; up < 2 && !bin.empty(); ++up) {
            const std::size_t slash = bin.find_last_of("\\/");
            bin.resize(slash == std::string::npos ? 0 : slash);
        }
        if (!bin.empty()) return {bin};
        if (!findings_.javaHome.empty()) return {JoinPath(findings_.javaHome, "bin")};
        return {};
    }

    bool AuthDllFound(const std::optional<DriverJar>& driver) {
        if (!driver) {
            Add(Status::Notice, where_ +
                                    "：integratedSecurity=true 需要与驱动同版本的 mssql-jdbc_auth DLL，但在 lib 和 "
                                    "WEB-INF\\lib 中没有找到 mssql-jdbc-<版本>.jre<N>.jar，无法检查");
            return true;
        }
        const std::optional<Bitness> bitness = findings_.runnerBitness ? findings_.runnerBitness : findings_.jvmBitness;
        const std::string arch = !bitness ? "x64 或 x86" : *bitness == Bitness::Bits64 ? "x64" : "x86";
        const std::string wanted = std::string(kAuthDllStart) + driver->version + "." + arch + ".dll";
        const std::vector<std::string> directories = LibraryPath();
        std::vector<std::string> others;
        for (const std::string& directory : directories) {
            // A share named by the settings is not opened for this.
            if (directory.starts_with("\\\\")) continue;
            for (const std::string& name : Names(directory)) {
                if (!StartsFolded(name, kAuthDllStart) && !StartsFolded(name, "sqljdbc_auth")) continue;
                const bool versionFits = StartsFolded(name, std::string(kAuthDllStart) + driver->version + ".");
                if (versionFits && (!bitness || EqualFolded(name, wanted))) return true;
                others.push_back(ShownPath(JoinPath(directory, name)));
            }
        }
        const std::string path = directories.empty() ? std::string("无法确定") : Joined(directories, ";");
        Add(Status::Error, where_ + "：integratedSecurity=true 需要 " + wanted + "（驱动 " + driver->path + " 的版本" +
                               (bitness ? "，服务的 " + std::string(BitnessText(*bitness)) : "") +
                               "）在服务的 java.library.path（" + path + "）中，" +
                               (others.empty() ? "那里没有 mssql-jdbc_auth DLL" : "那里只有 " + Joined(others, "、")));
        return false;
    }

    int JavaMajor() {
        if (findings_.serviceJavaMajor != 0) return findings_.serviceJavaMajor;
        if (findings_.javaHome.empty()) return 0;
        return JudgeJavaVersion(inspectors_.files.ReadHead(JoinPath(findings_.javaHome, "release"), kReleaseFileBytes),
                                findings_.installation.version)
            .major;
    }

    bool DriverFits(const std::optional<DriverJar>& driver) {
        if (!driver) {
            Add(Status::Notice, where_ + "：在 " + ShownPath(JoinPath(findings_.catalinaHome, "lib")) +
                                    (source_.webapp.empty() ? "" : " 和 WEB-INF\\lib") +
                                    " 中没有找到驱动 mssql-jdbc-<版本>.jre<N>.jar，没有检查驱动的版本");
            return true;
        }
        if (driver->release >= kFirstEncryptingDriver && !sqlserver::EncryptionOff(url_) &&
            !url_.trustServerCertificate)
            Add(Status::Notice, where_ + "：驱动 " + driver->path +
                                    " 从 10.2 起默认加密连接，本机 SQL Server 的证书"
                                    "不受信任时连接失败（PKIX path building failed）。请在 URL 中加上 encrypt=false 或 "
                                    "trustServerCertificate=true，或给 SQL Server 配置受信任的证书");
        const int java = JavaMajor();
        if (driver->jre > java && java != 0) {
            Add(Status::Error, where_ + "：驱动 " + driver->path + " 需要 Java " + std::to_string(driver->jre) +
                                   "，服务的 Java 为 " + std::to_string(java) +
                                   "：无法加载驱动（UnsupportedClassVersionError），请换用 jre" + std::to_string(java) +
                                   " 的驱动");
            return false;
        }
        return true;
    }

    const Inspectors& inspectors_;
    const Findings& findings_;
    const std::vector<std::string>& installed_;
    Probes& probes_;
    const JdbcSource& source_;
    const JdbcUrl& url_;
    GroupRows& rows_;
    std::string item_;
    std::string where_;
};

}  // namespace

void CheckJdbcUrls(const Inspectors& inspectors, const Findings& findings, std::vector<Row>& rows) {
    GroupRows jdbc(rows, Group::SqlServer);
    const JdbcSearch search = FindJdbcUrls(inspectors.files, findings.catalinaHome);
    for (const std::string& unreadable : search.unreadable)
        jdbc.Add("JDBC", Status::Notice, "无法读取 " + unreadable + "，其中的 JDBC URL 没有检查");
    if (search.urls.empty()) return;
    const std::vector<std::string> installed = sqlserver::ReadInstanceList(inspectors.instances);
    Probes probes(inspectors.datagrams, inspectors.connector);
    for (const JdbcSource& source : search.urls) {
        if (!source.parsed) {
            jdbc.Add("JDBC", Status::Notice, source.file + " 中的 " + source.url + " 无法解析，驱动会拒绝它");
            continue;
        }
        UrlCheck(inspectors, findings, installed, probes, source, jdbc).Run();
    }
}

}  // namespace qm::diagnosis
