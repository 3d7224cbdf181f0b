// JAVA_HOME: the directory, its programs, its version and its JVM.

#include <array>
#include <cctype>

#include "diagnosis/checks.h"
#include "tomcat/notice.h"

namespace qm::diagnosis {
namespace {

// Tomcat 6 passes -Djava.endorsed.dirs, which Java 9 and later refuse.
constexpr int kFirstJavaRefusingTomcat6 = 9;

// Where a JDK or a JRE keeps its JVM, in the order the service runner looks.
constexpr std::array<std::string_view, 4> kJvmPlaces = {"jre\\bin\\server\\jvm.dll", "jre\\bin\\client\\jvm.dll",
                                                        "bin\\server\\jvm.dll", "bin\\client\\jvm.dll"};

// JAVA_VERSION of the release file, without its quotes.
std::optional<std::string> ReleaseVersion(std::string_view release) {
    constexpr std::string_view kKey = "JAVA_VERSION=";
    for (std::string_view line : Lines(release)) {
        if (line.substr(0, kKey.size()) != kKey) continue;
        line.remove_prefix(kKey.size());
        while (!line.empty() && (line.back() == ' ' || line.back() == '"')) line.remove_suffix(1);
        while (!line.empty() && line.front() == '"') line.remove_prefix(1);
        if (!line.empty()) return std::string(line);
    }
    return std::nullopt;
}

int LeadingNumber(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || value > 1000) break;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The feature release: 1.8.0_181 is 8, 11.0.2 is 11; 0 when unreadable.
int MajorVersion(std::string_view version) {
    if (version.substr(0, 2) == "1.") return LeadingNumber(version.substr(2));
    return LeadingNumber(version);
}

void CheckPrograms(FileInspector& files, const std::string& home, const tomcat::TomcatVersion& tomcat,
                   GroupRows& rows) {
    rows.Add("java.exe", Status::Ok, "找到 " + JoinPath(home, "bin\\java.exe"));
    const std::string javac = JoinPath(home, "bin\\javac.exe");
    if (files.IsFile(javac))
        rows.Add("JDK/JRE", Status::Ok, "JDK：找到 " + javac);
    else if (tomcat.major == 6)
        rows.Add("JDK/JRE", Status::Notice,
                 "这是 JRE（没有 bin\\javac.exe）：Tomcat 6 的 bin\\startup.bat 需要 JDK，以服务方式运行可以使用 JRE");
    else
        rows.Add("JDK/JRE", Status::Ok, "JRE（没有 bin\\javac.exe）：运行 Tomcat 不需要 JDK");
}

void CheckVersion(FileInspector& files, const std::string& home, const tomcat::TomcatVersion& tomcat, GroupRows& rows) {
    const JavaVersionVerdict verdict =
        JudgeJavaVersion(files.ReadHead(JoinPath(home, "release"), kReleaseFileBytes), tomcat);
    rows.Add("Java 版本", verdict.status, verdict.explanation);
}

std::optional<Bitness> CheckJvm(FileInspector& files, const std::string& home, GroupRows& rows) {
    for (std::string_view place : kJvmPlaces) {
        const std::string jvm = JoinPath(home, place);
        if (!files.IsFile(jvm)) continue;
        const std::optional<std::string> head = files.ReadHead(jvm, kPeHeadBytes);
        const std::optional<Bitness> bitness = head ? PeBitness(*head) : std::nullopt;
        if (bitness)
            rows.Add("jvm.dll", Status::Ok, jvm + "，" + std::string(BitnessText(*bitness)));
        else
            rows.Add("jvm.dll", Status::Notice, jvm + "：无法读出它是 32 位还是 64 位");
        return bitness;
    }
    rows.Add(
        "jvm.dll", Status::Error,
        "没有找到 jvm.dll（查找了 jre\\bin\\server、jre\\bin\\client、bin\\server、bin\\client）：服务无法启动 Java");
    return std::nullopt;
}

}  // namespace

JavaVersionVerdict JudgeJavaVersion(const std::optional<std::string>& release, const tomcat::TomcatVersion& tomcat) {
    const std::optional<std::string> version = release ? ReleaseVersion(*release) : std::nullopt;
    const int major = version ? MajorVersion(*version) : 0;
    if (major == 0) return {Status::Notice, "无法确定 Java 版本：没有 release 文件，或其中没有可读的 JAVA_VERSION", 0};
    Verdict verdict = JavaAgainstTomcat(*version, tomcat);
    return {verdict.status, std::move(verdict.explanation), major};
}

Verdict JavaAgainstTomcat(std::string_view javaVersion, const tomcat::TomcatVersion& tomcat) {
    const std::string java = "Java " + std::string(javaVersion);
    const int major = MajorVersion(javaVersion);
    if (major == 0) return {Status::Notice, "无法确定 Java 版本：" + std::string(javaVersion)};
    if (tomcat.major == 6 && major >= kFirstJavaRefusingTomcat6)
        return {Status::Error, java + "：Tomcat 6 不能在 Java 9 及以上版本运行"};
    const std::optional<int> minimum = tomcat::MinimumJava(tomcat);
    if (minimum && major < *minimum)
        return {Status::Error,
                java + "：Tomcat " + tomcat.text + " 需要 Java " + std::to_string(*minimum) + " 及以上版本"};
    return {Status::Ok, java};
}

void CheckJava(const Inspectors& inspectors, Findings& findings, std::vector<Row>& rows) {
    GroupRows java(rows, Group::Java);
    findings.javaHome = inspectors.environment.Get(tomcat::kJavaHomeVariable);
    const std::string& home = findings.javaHome;
    const bool exists = !home.empty() && inspectors.files.IsDirectory(home);
    // A Tomcat folder picked by mistake is a directory too.
    const bool isJava = exists && inspectors.files.IsFile(JoinPath(home, "bin\\java.exe"));
    if (home.empty())
        java.Add("JAVA_HOME", Status::Error, "没有设置 JAVA_HOME");
    else if (!exists)
        java.Add("JAVA_HOME", Status::Error, "JAVA_HOME 指向的目录不存在：" + home);
    else if (!isJava)
        java.Add("JAVA_HOME", Status::Error, home + " 不是 Java 的安装目录：其中没有 bin\\java.exe");
    else
        java.Add("JAVA_HOME", Status::Ok, home);
    CheckMachineValue(inspectors, tomcat::kJavaHomeVariable, java);
    if (!isJava) return;

    CheckPrograms(inspectors.files, home, findings.installation.version, java);
    CheckVersion(inspectors.files, home, findings.installation.version, java);
    findings.jvmBitness = CheckJvm(inspectors.files, home, java);
}

}  // namespace qm::diagnosis
