// The installation's service as its runner sees it: the runner ignores
// JAVA_HOME and loads the JVM, memory limits, options and classpath of its
// own registry settings, so a console start can work while the service fails.

#include <algorithm>
#include <array>

#include "diagnosis/checks.h"
#include "diagnosis/log_growth.h"

namespace qm::diagnosis {
namespace {

// Where the runner looks for "auto", in this order, in its own registry view.
constexpr std::array<std::string_view, 2> kJavaRuntimeKeys = {"SOFTWARE\\JavaSoft\\JRE",
                                                              "SOFTWARE\\JavaSoft\\Java Runtime Environment"};
// A 32-bit process on Windows rarely finds a larger free stretch of its
// 2 GB address space for the heap; between the two the start is a gamble.
constexpr std::uint32_t kLargest32BitHeapMb = 1500;
constexpr std::uint32_t kRisky32BitHeapMb = 1024;
constexpr int kFirstJavaWithoutEndorsedDirs = 9;
// How far above jvm.dll a Java keeps its release file (jre\bin\server\jvm.dll).
constexpr int kReleaseSearchDepth = 4;
// What a repair gives a 32-bit JVM: the heap it reserves on any Windows.
constexpr std::uint32_t kRepaired32BitHeapMb = 1024;
// Where a repair looks for JAVA_HOME's JVM, in this order.
constexpr std::array<std::string_view, 4> kJavaHomeJvms = {"bin\\server\\jvm.dll", "jre\\bin\\server\\jvm.dll",
                                                           "bin\\client\\jvm.dll", "jre\\bin\\client\\jvm.dll"};
constexpr std::string_view kNotSet = "（未设置）";

// The settings key in one registry view, and its name as regedit shows it.
struct SettingsKey {
    std::string path;
    RegistryView view = RegistryView::Wow32;
    std::string Shown(std::string_view subkey) const {
        std::string shown = "HKLM\\SOFTWARE\\";
        if (view == RegistryView::Wow32) shown += "WOW6432Node\\";
        shown += path.substr(std::string_view("SOFTWARE\\").size());
        if (!subkey.empty()) shown += "\\" + std::string(subkey);
        return shown;
    }
    std::string Subkey(std::string_view subkey) const { return path + "\\" + std::string(subkey); }
};

// The runner's settings are paths that nothing of this installation wrote;
// one on a share would have the diagnosis, run by an administrator, knock on
// another machine with that administrator's credentials. Such a path is
// shown, not opened.
bool MayOpen(const Inspectors& inspectors, std::string_view path) {
    return !tomcat::IsNetworkOrDevicePath(path) && !inspectors.files.OnNetworkDrive(path);
}

constexpr std::string_view kNotOpened = "：网络或设备路径，没有检查（诊断不打开服务设置中指向其他计算机或设备的路径）";

struct ServiceJvm {
    std::string path;
    std::optional<Bitness> bitness;
    int javaMajor = 0;
};

class SettingsCheck {
public:
    SettingsCheck(const Inspectors& inspectors, Findings& findings, const SettingsKey& key,
                  std::optional<Bitness> runnerBitness, std::string runner, std::vector<Row>& rows)
        : inspectors_(inspectors),
          findings_(findings),
          key_(key),
          runnerBitness_(runnerBitness),
          runner_(std::move(runner)),
          rows_(rows, Group::ServicesAndProcesses),
          itemStart_("服务 " + findings.serviceName + " ") {}

    void Run() {
        const std::optional<ServiceJvm> jvm = CheckJvm();
        CheckMemory(jvm);
        CheckOptions(jvm);
        CheckClasspath();
    }

private:
    std::optional<std::string> Setting(std::string_view name) {
        const std::optional<std::string> value = inspectors_.registry.ReadString(key_.Subkey("Java"), name, key_.view);
        if (!value) return std::nullopt;
        return ExpandVariables(*value, inspectors_.environment);
    }

    void Add(std::string_view what, Status status, std::string explanation, std::optional<Fix> fix = std::nullopt) {
        rows_.Add(itemStart_ + std::string(what), status, std::move(explanation), std::move(fix));
    }

    // A setting as stored, variables unexpanded: what a repair compares and
    // replaces.
    std::optional<RegistryValue> StoredString(std::string_view name) {
        const std::optional<std::string> value = inspectors_.registry.ReadString(key_.Subkey("Java"), name, key_.view);
        if (!value) return std::nullopt;
        return StringValue(*value);
    }

    // "将服务 X 的 name 从 a 改为 b。" and back.
    SettingFix Change(std::string_view name, std::optional<RegistryValue> seen, RegistryValue wanted,
                      std::string_view seenText, std::string_view wantedText) {
        const std::string what = "将服务 " + findings_.serviceName + " 的 " + std::string(name) + " 从 ";
        return {findings_.serviceName,
                key_.Subkey("Java"),
                std::string(name),
                key_.view,
                std::move(seen),
                std::move(wanted),
                what + std::string(seenText) + " 改为 " + std::string(wantedText) + "。",
                what + std::string(wantedText) + " 改回 " + std::string(seenText) + "。"};
    }

    // JAVA_HOME's jvm.dll, when there is one of the runner's bitness.
    std::optional<Fix> JvmFix() {
        if (!runnerBitness_ || findings_.javaHome.empty()) return std::nullopt;
        for (std::string_view place : kJavaHomeJvms) {
            const std::string candidate = JoinPath(findings_.javaHome, place);
            if (!inspectors_.files.IsFile(candidate)) continue;
            const std::optional<std::string> head = inspectors_.files.ReadHead(candidate, kPeHeadBytes);
            if (!head || PeBitness(*head) != runnerBitness_) continue;
            const std::optional<RegistryValue> seen = StoredString("Jvm");
            const std::optional<std::vector<std::string>> seenText = seen ? StringsOf(*seen) : std::nullopt;
            return Change("Jvm", seen, StringValue(candidate),
                          seenText ? seenText->front() : "auto" + std::string(kNotSet), candidate);
        }
        return std::nullopt;
    }

    // The jvm.dll of "auto": the current version's RuntimeLib, in the view
    // of the runner's own bitness.
    std::optional<std::string> AutoJvm(RegistryView view) {
        for (std::string_view runtimes : kJavaRuntimeKeys) {
            const std::optional<std::string> current =
                inspectors_.registry.ReadString(runtimes, "CurrentVersion", view);
            if (!current) continue;
            const std::optional<std::string> library =
                inspectors_.registry.ReadString(std::string(runtimes) + "\\" + *current, "RuntimeLib", view);
            if (!library) return std::nullopt;
            return ExpandVariables(*library, inspectors_.environment);
        }
        return std::nullopt;
    }

    std::optional<ServiceJvm> CheckJvm() {
        const std::optional<std::string> setting = Setting("Jvm");
        // The runner takes a missing setting for "auto".
        const bool automatic = !setting || EqualFolded(*setting, "auto");
        const std::string settingText = "服务设置 Jvm（" + key_.Shown("Java") + "）";
        ServiceJvm jvm;
        if (automatic) {
            const RegistryView view = runnerBitness_ == Bitness::Bits32 ? RegistryView::Wow32 : RegistryView::Native;
            const std::optional<std::string> found = AutoJvm(view);
            if (!found) {
                const std::string viewText = view == RegistryView::Wow32 ? "32 位" : "64 位";
                Add("JVM", Status::Error,
                    settingText + " 为 auto，但注册表的 " + viewText + "视图中 HKLM\\SOFTWARE\\JavaSoft\\JRE 和 " +
                        "HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment 都没有可用的 Java：" +
                        "服务程序只能找到与它同为 " + viewText + " 的 Java，请在 Jvm 中写明 jvm.dll 的路径",
                    JvmFix());
                return std::nullopt;
            }
            jvm.path = *found;
        } else {
            jvm.path = *setting;
        }
        const std::string origin = automatic ? "（Jvm 为 auto）" : std::string();
        if (!MayOpen(inspectors_, jvm.path)) {
            Add("JVM", Status::Notice, jvm.path + origin + std::string(kNotOpened));
            return jvm;
        }
        if (!inspectors_.files.IsFile(jvm.path)) {
            Add("JVM", Status::Error,
                settingText + (automatic ? " 为 auto，找到的 " : " 指向的 ") + jvm.path + " 不存在：服务无法启动 Java",
                JvmFix());
            return std::nullopt;
        }
        const std::optional<std::string> head = inspectors_.files.ReadHead(jvm.path, kPeHeadBytes);
        jvm.bitness = head ? PeBitness(*head) : std::nullopt;
        if (!jvm.bitness)
            Add("JVM", Status::Notice, jvm.path + origin + "：无法读出它是 32 位还是 64 位");
        else if (runnerBitness_ && *runnerBitness_ != *jvm.bitness)
            Add("JVM", Status::Error,
                "服务程序 " + runner_ + " 为 " + std::string(BitnessText(*runnerBitness_)) + "，它的 JVM " + jvm.path +
                    origin + " 为 " + std::string(BitnessText(*jvm.bitness)) + "：服务无法加载这个 JVM",
                JvmFix());
        else
            Add("JVM", Status::Ok, jvm.path + origin + "，" + std::string(BitnessText(*jvm.bitness)));
        CheckJavaVersion(jvm);
        findings_.serviceJvm = jvm.path;
        findings_.serviceJavaMajor = jvm.javaMajor;
        if (!tomcat::MatchesInstallation(jvm.path, findings_.javaHome))
            Add("JAVA_HOME", Status::Notice,
                "服务不使用 JAVA_HOME：它加载 " + jvm.path + "，JAVA_HOME 为 " +
                    (findings_.javaHome.empty() ? std::string("空") : findings_.javaHome) +
                    "。以服务方式启动与用 startup.bat 启动用的是不同的 Java");
        return jvm;
    }

    // The release file of the Java directory that holds jvm.dll.
    void CheckJavaVersion(ServiceJvm& jvm) {
        std::string directory = jvm.path;
        std::optional<std::string> release;
        for (int level = 0; level < kReleaseSearchDepth && !release; ++level) {
            const std::size_t slash = directory.find_last_of("\\/");
            if (slash == std::string::npos) break;
            directory.resize(slash);
            const std::string candidate = JoinPath(directory, "release");
            if (inspectors_.files.IsFile(candidate)) release = inspectors_.files.ReadHead(candidate, kReleaseFileBytes);
        }
        const JavaVersionVerdict verdict = JudgeJavaVersion(release, findings_.installation.version);
        jvm.javaMajor = verdict.major;
        Add("Java 版本", verdict.status, verdict.explanation + (release ? "（" + directory + "）" : std::string()));
    }

    void CheckMemory(const std::optional<ServiceJvm>& jvm) {
        const std::optional<std::uint32_t> most =
            inspectors_.registry.ReadDword(key_.Subkey("Java"), "JvmMx", key_.view);
        if (!most) {
            Add("内存", Status::Ok, "没有设置 JvmMx：最大堆由 JVM 决定");
            return;
        }
        const std::string setting = "服务设置 JvmMx 为 " + std::to_string(*most) + " MB";
        const bool bits32 = jvm && jvm->bitness == Bitness::Bits32;
        if (bits32 && *most > kLargest32BitHeapMb)
            Add("内存", Status::Error,
                setting +
                    "：32 位的 JVM 在 Windows 上无法保留这么大的堆，服务无法启动。请改为 1024 MB 或更小，或使用 "
                    "64 位的 Java 和 " +
                    findings_.installation.runner,
                Change("JvmMx", DwordValue(*most), DwordValue(kRepaired32BitHeapMb), std::to_string(*most),
                       std::to_string(kRepaired32BitHeapMb)));
        else if (bits32 && *most >= kRisky32BitHeapMb)
            Add("内存", Status::Notice, setting + "：32 位的 JVM 未必能保留这么大的堆，启动失败时请减小");
        else
            Add("内存", Status::Ok, setting);
    }

    void CheckOptions(const std::optional<ServiceJvm>& jvm) {
        std::optional<std::vector<std::string>> options =
            inspectors_.registry.ReadMultiString(key_.Subkey("Java"), "Options", key_.view);
        if (!options) {
            // Written by hand as one string, it still holds one option.
            const std::optional<std::string> single = Setting("Options");
            options = single ? std::vector<std::string>{*single} : std::vector<std::string>{};
        }
        findings_.serviceOptions = *options;
        bool wrong = false;
        const bool multiple =
            inspectors_.registry.ReadMultiString(key_.Subkey("Java"), "Options", key_.view).has_value();
        for (const std::string& option : *options) {
            for (std::string_view name : {"-Dcatalina.home=", "-Dcatalina.base="}) {
                if (!option.starts_with(name) || findings_.catalinaHome.empty()) continue;
                std::string_view directory = std::string_view(option).substr(name.size());
                if (directory.size() >= 2 && directory.front() == '"' && directory.back() == '"')
                    directory = directory.substr(1, directory.size() - 2);
                if (SameDirectory(directory, findings_.catalinaHome)) continue;
                wrong = true;
                const std::string replaced = std::string(name) + findings_.catalinaHome;
                std::string change =
                    "将服务 " + findings_.serviceName + " 的选项 " + option + " 改为 " + replaced + "。";
                if (name == "-Dcatalina.base=")
                    change += "另一个实例以 " + std::string(directory) +
                              " 为 catalina.base 的配置（conf、webapps、logs）将不再使用。";
                Add("选项", Status::Error,
                    "服务选项 " + option + " 指向的不是 CATALINA_HOME（" + findings_.catalinaHome +
                        "）：服务运行的是另一个安装的配置",
                    OptionsFix(*options, multiple, option, replaced, std::move(change),
                               "将服务 " + findings_.serviceName + " 的选项 " + replaced + " 改回 " + option + "。"));
            }
            if (option.starts_with("-Djava.endorsed.dirs") && jvm && jvm->javaMajor >= kFirstJavaWithoutEndorsedDirs) {
                wrong = true;
                Add("选项", Status::Error,
                    "服务选项 " + option + " 不能用于 Java " + std::to_string(jvm->javaMajor) +
                        "：Java 9 及以上版本不支持它，JVM 无法启动。请删除这个选项，或让服务使用 Java 8 或更早的版本",
                    OptionsFix(*options, multiple, option, std::nullopt,
                               "从服务 " + findings_.serviceName + " 的选项中删除 " + option + "。",
                               "把 " + option + " 放回服务 " + findings_.serviceName + " 的选项。"));
            }
        }
        if (!wrong)
            Add("选项", Status::Ok,
                options->empty() ? std::string("没有设置选项")
                                 : std::to_string(options->size()) + " 个选项，没有发现问题");
    }

    // The options with one of them replaced, or left out; the value keeps its type.
    Fix OptionsFix(const std::vector<std::string>& options, bool multiple, const std::string& option,
                   const std::optional<std::string>& replacement, std::string change, std::string undo) {
        std::vector<std::string> wanted;
        for (const std::string& other : options) {
            if (other != option)
                wanted.push_back(other);
            else if (replacement)
                wanted.push_back(*replacement);
        }
        const std::string single = wanted.empty() ? std::string() : wanted.front();
        return SettingFix{findings_.serviceName,
                          key_.Subkey("Java"),
                          "Options",
                          key_.view,
                          multiple ? MultiStringValue(options) : StoredString("Options").value_or(StringValue("")),
                          multiple ? MultiStringValue(wanted) : StringValue(single),
                          std::move(change),
                          std::move(undo)};
    }

    // CATALINA_HOME's bootstrap.jar and tomcat-juli.jar that are there, before
    // the classpath's other entries; nothing without a bootstrap.jar to name.
    std::optional<Fix> ClasspathFix(const std::optional<std::string>& stored) {
        if (findings_.catalinaHome.empty()) return std::nullopt;
        const std::string bootstrap = JoinPath(findings_.catalinaHome, "bin\\bootstrap.jar");
        const std::string juli = JoinPath(findings_.catalinaHome, "bin\\tomcat-juli.jar");
        if (!inspectors_.files.IsFile(bootstrap)) return std::nullopt;
        std::vector<std::string_view> entries{bootstrap};
        if (inspectors_.files.IsFile(juli)) entries.push_back(juli);
        const std::string old = stored.value_or("");
        for (std::string_view entry : Entries(old))
            if (!IsJarNamed(entry, "bootstrap.jar") && !IsJarNamed(entry, "tomcat-juli.jar")) entries.push_back(entry);
        std::string wanted;
        for (std::string_view entry : entries) (wanted += wanted.empty() ? "" : ";") += entry;
        const std::string seenText = stored && !stored->empty() ? *stored : std::string(kNotSet);
        return Change("Classpath", stored ? std::optional(StringValue(*stored)) : std::nullopt, StringValue(wanted),
                      seenText, wanted);
    }

    static std::vector<std::string_view> Entries(std::string_view classpath) {
        std::vector<std::string_view> entries;
        while (!classpath.empty()) {
            const std::size_t end = std::min(classpath.find(';'), classpath.size());
            if (end > 0) entries.push_back(classpath.substr(0, end));
            classpath.remove_prefix(std::min(end + 1, classpath.size()));
        }
        return entries;
    }

    static bool IsJarNamed(std::string_view entry, std::string_view jar) {
        return EqualFolded(entry, jar) || (EndsFolded(entry, jar) && (entry[entry.size() - jar.size() - 1] == '\\' ||
                                                                      entry[entry.size() - jar.size() - 1] == '/'));
    }

    void CheckClasspath() {
        const std::optional<std::string> stored =
            inspectors_.registry.ReadString(key_.Subkey("Java"), "Classpath", key_.view);
        const std::optional<std::string> classpath = Setting("Classpath");
        if (!classpath || classpath->empty()) {
            Add("Classpath", Status::Error,
                "没有设置服务设置 Classpath（" + key_.Shown("Java") +
                    "）：服务找不到 Tomcat 的启动类（通常是 CATALINA_HOME\\bin\\bootstrap.jar）",
                ClasspathFix(stored));
            return;
        }
        bool missing = false;
        bool unopened = false;
        std::string_view rest = *classpath;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(';'), rest.size());
            std::string entry(rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
            if (entry.empty()) continue;
            // "dir\*" stands for the jars of dir.
            if (entry.size() >= 2 && entry.back() == '*' &&
                (entry[entry.size() - 2] == '\\' || entry[entry.size() - 2] == '/'))
                entry.resize(entry.size() - 2);
            if (!MayOpen(inspectors_, entry)) {
                unopened = true;
                Add("Classpath", Status::Notice, "服务设置 Classpath 中的 " + entry + std::string(kNotOpened));
                continue;
            }
            if (inspectors_.files.IsFile(entry) || inspectors_.files.IsDirectory(entry)) continue;
            missing = true;
            Add("Classpath", Status::Error, "服务设置 Classpath 中的 " + entry + " 不存在：服务找不到 Tomcat 的类",
                IsJarNamed(entry, "bootstrap.jar") ? ClasspathFix(stored) : std::nullopt);
        }
        if (!missing && !unopened) Add("Classpath", Status::Ok, *classpath);
    }

    const Inspectors& inspectors_;
    Findings& findings_;
    const SettingsKey& key_;
    std::optional<Bitness> runnerBitness_;
    std::string runner_;
    GroupRows rows_;
    std::string itemStart_;
};

}  // namespace

void CheckServiceSettings(const Inspectors& inspectors, Findings& findings, std::vector<Row>& rows) {
    if (findings.serviceName.empty()) return;
    // A service that is missing or can't be asked has its row already.
    const ServiceLookup& lookup = InstallationService(inspectors, findings);
    if (lookup.error != 0) return;
    GroupRows group(rows, Group::ServicesAndProcesses);
    const std::string item = "服务 " + findings.serviceName + " 设置";
    const std::string runner = ServiceProgram(lookup.service.binaryPath);
    if (!IsTomcatService(lookup.service)) {
        group.Add(item, Status::Notice,
                  "服务 " + findings.serviceName + " 运行的 " + runner +
                      " 不是 Tomcat 的服务程序（tomcat<N>.exe //RS//）：无法检查它的 JVM 和日志");
        return;
    }
    SettingsKey key{RunnerParametersKey(findings.serviceName), RegistryView::Wow32};
    // Both builds of the runner write the 32-bit view; a key in the 64-bit
    // one was written by hand or by another tool.
    if (!inspectors.registry.KeyExists(key.path, key.view)) {
        key.view = RegistryView::Native;
        if (!inspectors.registry.KeyExists(key.path, key.view)) {
            key.view = RegistryView::Wow32;
            group.Add(item, Status::Notice,
                      "注册表中没有服务 " + findings.serviceName + " 的设置（" + key.Shown("") +
                          "）：服务程序不知道用哪个 JVM 启动 Tomcat，请用 " + findings.installation.runner +
                          " //US// 或 service.bat 重新安装服务");
            return;
        }
    }
    const RunnerLog log = ReadRunnerLogAt(inspectors.registry, inspectors.environment, key.path, key.view);
    if (MayOpen(inspectors, log.directory))
        findings.serviceLogDirectory = log.directory;
    else
        group.Add("服务 " + findings.serviceName + " 日志", Status::Notice,
                  "服务设置 Log\\Path 为 " + log.directory + std::string(kNotOpened));
    findings.serviceLogPrefix = log.prefix;

    const std::optional<std::string> head =
        MayOpen(inspectors, runner) ? inspectors.files.ReadHead(runner, kPeHeadBytes) : std::nullopt;
    findings.runnerBitness = head ? PeBitness(*head) : std::nullopt;
    SettingsCheck(inspectors, findings, key, findings.runnerBitness, runner, rows).Run();
}

}  // namespace qm::diagnosis
