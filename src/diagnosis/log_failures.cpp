#include "diagnosis/log_failures.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace qm::diagnosis {
namespace {

// A failure is known when the line holds one of anyOf and, if given, also
// alsoNeeded. The explainer may read more of the line (a port, a version).
struct KnownFailure {
    std::array<std::string_view, 3> anyOf;
    std::string_view alsoNeeded;
    std::string (*explain)(std::string_view line, std::size_t matchedAt);
};

std::optional<unsigned> NumberAt(std::string_view text, std::size_t at) {
    unsigned value = 0;
    std::size_t digits = 0;
    while (at + digits < text.size() && std::isdigit(static_cast<unsigned char>(text[at + digits])) && digits < 6)
        value = value * 10 + static_cast<unsigned>(text[at + digits++] - '0');
    if (digits == 0) return std::nullopt;
    return value;
}

// The number right after the last colon from `from` on: Java writes the
// address as "<null>:8080" or "0.0.0.0:8080" at the end of the message.
std::optional<unsigned> PortAfter(std::string_view line, std::size_t from) {
    std::optional<unsigned> port;
    for (std::size_t at = line.find(':', from); at != std::string_view::npos; at = line.find(':', at + 1))
        if (const auto number = NumberAt(line, at + 1); number && *number > 0 && *number <= 65535) port = number;
    return port;
}

std::string JvmNotLoaded(std::string_view, std::size_t) {
    return "服务程序无法加载它的 JVM：检查服务设置中的 Jvm 路径，以及 jvm.dll 与 tomcat6.exe 是否同为 32 位或 64 位";
}

std::string ModuleMissing(std::string_view, std::size_t) {
    return "jvm.dll 或它需要的库（如 msvcr*.dll）不存在：检查服务设置中的 Jvm 路径和这个 Java 的安装是否完整";
}

std::string MemoryDoesNotFit(std::string_view, std::size_t) {
    return "内存设置不适合这个 JVM：减小服务设置中的 JvmMx（或选项中的 -Xmx），32 位的 JVM 一般不超过 1024 MB";
}

std::string PortTaken(std::string_view line, std::size_t matchedAt) {
    const std::optional<unsigned> port = PortAfter(line, matchedAt);
    const std::string which = port ? "端口 " + std::to_string(*port) + " " : std::string("Tomcat 要使用的一个端口");
    return which + "已被占用：结束占用它的程序，或在 conf\\server.xml 中改用其他端口";
}

std::string EndorsedDirs(std::string_view, std::size_t) {
    return "Java 9 及以上版本不支持 -Djava.endorsed.dirs：这是为 Tomcat 6/7 写的选项，请让服务使用 Java 8 或更早的版本";
}

// "class file version 55.0" (Java 9 on) or "Unsupported major.minor version
// 52.0" (up to Java 8): class file version N is Java N-44.
std::string ClassVersion(std::string_view line, std::size_t) {
    for (std::string_view words : {"class file version ", "major.minor version "}) {
        const std::size_t at = line.find(words);
        if (at == std::string_view::npos) continue;
        const std::optional<unsigned> version = NumberAt(line, at + words.size());
        if (version && *version > 44 && *version < 200)
            return "有类是为 Java " + std::to_string(*version - 44) + " 编译的（类文件版本 " +
                   std::to_string(*version) + "）：需要 Java " + std::to_string(*version - 44) +
                   " 或更高版本，请更换服务的 Jvm 或 JAVA_HOME";
    }
    return "有类是为更高版本的 Java 编译的：请更换服务的 Jvm 或 JAVA_HOME";
}

std::string NoBootstrap(std::string_view, std::size_t) {
    return "找不到 Tomcat 的启动类：检查服务设置中的 Classpath（通常是 CATALINA_HOME\\bin\\bootstrap.jar）";
}

std::string OutOfMemory(std::string_view line, std::size_t) {
    if (line.find("PermGen") != std::string_view::npos)
        return "PermGen 空间不足：在服务设置的选项中增大 -XX:MaxPermSize";
    return "Java 内存不足：增大服务设置中的 JvmMx（最大堆），PermGen 不足时增大选项 -XX:MaxPermSize";
}

std::string AccessDenied(std::string_view, std::size_t) {
    return "服务的登录账户缺少权限：检查它对 CATALINA_HOME、日志目录和 Java 目录的权限，或换一个账户运行服务";
}

// In the order they are tried: a line that names several failures gets the
// first, and the runner's own words come before the JVM's.
constexpr std::array<KnownFailure, 9> kKnownFailures = {{
    {{"Failed creating java", "is not a valid Win32 application", "不是有效的 Win32 应用程序"}, {}, JvmNotLoaded},
    {{"The specified module could not be found", "找不到指定的模块"}, {}, ModuleMissing},
    {{"Could not reserve enough space", "Could not create the Java Virtual Machine"}, {}, MemoryDoesNotFit},
    {{"java.endorsed.dirs"}, "not supported", EndorsedDirs},
    {{"Address already in use", "JVM_Bind", "BindException"}, {}, PortTaken},
    {{"UnsupportedClassVersionError"}, {}, ClassVersion},
    {{"Could not find or load main class", "ClassNotFoundException: org.apache.catalina.startup.Bootstrap"},
     {},
     NoBootstrap},
    {{"OutOfMemoryError"}, {}, OutOfMemory},
    {{"Access is denied", "拒绝访问"}, {}, AccessDenied},
}};

}  // namespace

std::optional<std::string> ExplainFailureLine(std::string_view line) {
    for (const KnownFailure& failure : kKnownFailures) {
        if (!failure.alsoNeeded.empty() && line.find(failure.alsoNeeded) == std::string_view::npos) continue;
        for (std::string_view words : failure.anyOf) {
            if (words.empty()) continue;
            const std::size_t at = line.find(words);
            if (at != std::string_view::npos) return failure.explain(line, at);
        }
    }
    return std::nullopt;
}

}  // namespace qm::diagnosis
