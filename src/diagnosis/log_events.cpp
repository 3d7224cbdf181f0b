#include "diagnosis/log_events.h"

#include <algorithm>
#include <array>

#include "text/ascii.h"
#include "text/gb_codec.h"
#include "text/utf8.h"

namespace qm::diagnosis {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' || c == '$';
}

// java.util.logging's level names, and what they read as under a Chinese locale.
constexpr std::array<std::string_view, 10> kLevels = {"SEVERE", "WARNING", "INFO",   "CONFIG", "FINEST",
                                                      "FINER",  "FINE",    "严重", "警告", "信息"};

std::optional<std::string_view> LevelAt(std::string_view text) {
    for (std::string_view level : kLevels)
        if (text.starts_with(level)) return level;
    return std::nullopt;
}

// Where a "12:34:56" begins near the start of a line: every header has its time there.
std::optional<std::size_t> TimeNearStart(std::string_view line) {
    constexpr std::size_t kLatestTimeAt = 40;
    for (std::size_t at = 0; at + 8 <= line.size() && at <= kLatestTimeAt; ++at)
        if (IsDigit(line[at]) && IsDigit(line[at + 1]) && line[at + 2] == ':' && IsDigit(line[at + 3]) &&
            IsDigit(line[at + 4]) && line[at + 5] == ':' && IsDigit(line[at + 6]) && IsDigit(line[at + 7]))
            return at;
    return std::nullopt;
}

struct Header {
    std::string level;
    std::string message;
};

// "[2026-12-08 09:12:01] [error] [ 2044] message": the service runner's.
std::optional<Header> RunnerHeader(std::string_view line) {
    if (!line.starts_with('[') || line.size() < 2 || !IsDigit(line[1]) || !TimeNearStart(line)) return std::nullopt;
    const std::size_t levelAt = line.find("] [");
    if (levelAt == std::string_view::npos) return std::nullopt;
    const std::size_t levelEnd = line.find(']', levelAt + 3);
    if (levelEnd == std::string_view::npos) return std::nullopt;
    Header header{std::string(text::Trimmed(line.substr(levelAt + 3, levelEnd - levelAt - 3), " ")), {}};
    std::string_view rest = line.substr(levelEnd + 1);
    rest = text::Trimmed(rest, " ", "");
    // The process id, when the runner writes it.
    if (rest.starts_with('[')) {
        const std::size_t end = rest.find(']');
        if (end != std::string_view::npos) rest = text::Trimmed(rest.substr(end + 1), " ", "");
    }
    header.message = std::string(rest);
    return header;
}

// "08-Dec-2026 10:01:02.345 SEVERE [main] org.apache.Class.method message":
// Tomcat 7 and later.
std::optional<Header> OneLineHeader(std::string_view line) {
    if (line.empty() || !IsDigit(line.front())) return std::nullopt;
    const std::optional<std::size_t> time = TimeNearStart(line);
    if (!time) return std::nullopt;
    std::size_t at = *time + 8;
    if (at < line.size() && line[at] == '.')
        for (++at; at < line.size() && IsDigit(line[at]);) ++at;
    if (at >= line.size() || line[at] != ' ') return std::nullopt;
    const std::string_view rest = line.substr(at + 1);
    const std::optional<std::string_view> level = LevelAt(rest);
    if (!level || !rest.substr(level->size()).starts_with(" [")) return std::nullopt;
    const std::size_t threadEnd = rest.find("] ", level->size());
    if (threadEnd == std::string_view::npos) return std::nullopt;
    std::string_view message = rest.substr(threadEnd + 2);
    // The logger's class and method come first.
    const std::size_t space = message.find(' ');
    message = space == std::string_view::npos ? std::string_view() : message.substr(space + 1);
    return Header{std::string(*level), std::string(message)};
}

// "SEVERE: message", the second line of Tomcat 6's header.
std::optional<Header> LevelLine(std::string_view line) {
    const std::optional<std::string_view> level = LevelAt(line);
    if (!level) return std::nullopt;
    std::string_view rest = line.substr(level->size());
    if (rest.starts_with(":"))
        rest.remove_prefix(1);
    else if (rest.starts_with("："))
        rest.remove_prefix(std::string_view("：").size());
    else
        return std::nullopt;
    return Header{std::string(*level), std::string(text::Trimmed(rest, " "))};
}

// "Dec 8, 2026 10:01:02 AM org.apache.Class method" (or "2026-12-8 10:01:02
// org.apache.Class method"): the first line of Tomcat 6's header.
bool IsTomcat6FirstLine(std::string_view line) {
    return !line.empty() && line.front() != ' ' && line.front() != '\t' && line.front() != '[' && TimeNearStart(line) &&
           line.find(" org.") != std::string_view::npos;
}

// The class name a line begins with, when the line is an exception:
// "java.net.BindException: ...", "org.xml.sax.SAXParseException; ...".
std::optional<std::string_view> ThrowableAt(std::string_view line) {
    std::size_t end = 0;
    bool dotted = false;
    while (end < line.size() && (IsIdentifierChar(line[end]) || line[end] == '.')) {
        dotted = dotted || line[end] == '.';
        ++end;
    }
    if (!dotted || end == 0 || line[0] == '.') return std::nullopt;
    if (end < line.size() && line[end] != ':' && line[end] != ';') return std::nullopt;
    const std::string_view name = line.substr(0, end);
    const std::string_view last = name.substr(name.find_last_of('.') + 1);
    if (last.find("Exception") == std::string_view::npos && !last.ends_with("Error") && last != "Throwable")
        return std::nullopt;
    return name;
}

// The exception a line names, without what comes before it.
std::optional<std::string> CauseIn(std::string_view line) {
    line = text::Trimmed(line, " \t");
    for (std::string_view lead : {"Caused by: ", "Suppressed: "})
        if (line.starts_with(lead)) return std::string(line.substr(lead.size()));
    if (line.starts_with("Exception in thread \"")) {
        const std::size_t quote = line.find("\" ", 21);
        if (quote != std::string_view::npos) return std::string(line.substr(quote + 2));
    }
    if (ThrowableAt(line)) return std::string(line);
    return std::nullopt;
}

bool ContinuesEvent(std::string_view line, const LogEvent& event) {
    if (line.starts_with(' ') || line.starts_with('\t') || line.starts_with("Caused by:") ||
        line.starts_with("Suppressed:") || line.starts_with("..."))
        return true;
    // An event's own exception follows its header; a second one begins an event of its own.
    return event.causes.empty() && ThrowableAt(line).has_value();
}

void StartEvent(std::vector<LogEvent>& events, std::optional<Header> header, std::string_view line) {
    LogEvent event;
    if (header) {
        event.level = std::move(header->level);
        event.message = std::move(header->message);
    } else {
        event.message = std::string(line);
    }
    events.push_back(std::move(event));
}

void AddLine(LogEvent& event, std::string line) {
    if (std::optional<std::string> cause = CauseIn(line); cause && !line.starts_with("\tat ")) {
        if (!event.lines.empty() || event.level.empty()) event.causes.push_back(std::move(*cause));
    }
    event.lines.push_back(std::move(line));
}

// ---- what events mean ----

std::optional<unsigned> NumberAt(std::string_view text, std::size_t at) {
    unsigned value = 0;
    std::size_t digits = 0;
    while (at + digits < text.size() && IsDigit(text[at + digits]) && digits < 6)
        value = value * 10 + static_cast<unsigned>(text[at + digits++] - '0');
    if (digits == 0) return std::nullopt;
    return value;
}

bool IsPort(std::optional<unsigned> number) { return number && *number > 0 && *number <= 65535; }

// The port of a connector's name: [Connector[HTTP/1.1-8080]],
// ["http-nio-8080"], [http-bio-8080], as Tomcat's headers give it.
std::optional<unsigned> PortInConnectorName(std::string_view text) {
    for (std::size_t open = text.find('['); open != std::string_view::npos; open = text.find('[', open + 1)) {
        std::size_t close = text.find(']', open);
        if (close == std::string_view::npos) return std::nullopt;
        std::string_view name = text.substr(open + 1, close - open - 1);
        const std::size_t inner = name.rfind('[');
        if (inner != std::string_view::npos) name.remove_prefix(inner + 1);
        name = text::Trimmed(name, "\"");
        if (!text::StartsFolded(name, "http") && !text::StartsFolded(name, "ajp")) continue;
        const std::size_t dash = name.find_last_of('-');
        if (dash == std::string_view::npos || dash + 1 >= name.size()) continue;
        if (!std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dash) + 1, name.end(), IsDigit)) continue;
        if (const auto port = NumberAt(name, dash + 1); IsPort(port)) return port;
    }
    return std::nullopt;
}

// The number after the last colon: Java writes the address as "<null>:8080"
// or "0.0.0.0:8080" at the end of the message.
std::optional<unsigned> PortAfterColon(std::string_view line) {
    std::optional<unsigned> port;
    for (std::size_t at = line.find(':'); at != std::string_view::npos; at = line.find(':', at + 1))
        if (const auto number = NumberAt(line, at + 1); IsPort(number)) port = number;
    return port;
}

// What is between the brackets right after `words`, or nothing.
std::optional<std::string_view> Bracketed(std::string_view text, std::string_view words) {
    const std::size_t at = text.find(words);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t open = text.find('[', at + words.size());
    if (open == std::string_view::npos || open > at + words.size() + 1) return std::nullopt;
    const std::size_t close = text.find(']', open);
    if (close == std::string_view::npos) return std::nullopt;
    return text.substr(open + 1, close - open - 1);
}

// A context path as the rows show it: ROOT's empty path is "/".
std::string ContextPath(std::string_view path) {
    if (path.empty()) return "/";
    return path.front() == '/' ? std::string(path) : "/" + std::string(path);
}

// The webapp a directory or archive under webapps stands for.
std::string WebappOfFile(std::string_view path) {
    path = text::Trimmed(path, " []", " []\\/");
    const std::size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (text::EndsFolded(name, ".war") || text::EndsFolded(name, ".xml")) name.remove_suffix(4);
    if (name.empty() || name == "ROOT") return "/";
    std::string shown = "/" + std::string(name);
    // conf\Catalina\localhost\shop#v2.xml is /shop/v2.
    std::replace(shown.begin(), shown.end(), '#', '/');
    return shown;
}

// The webapp an event names: its context, or a path inside webapps.
std::string WebappIn(const LogEvent& event) {
    for (const std::string& line : event.lines)
        for (std::string_view words : {"StandardContext", "Context ", "context ", "web application ", "application "})
            if (const auto path = Bracketed(line, words); path && (path->empty() || path->front() == '/'))
                return ContextPath(*path);
    for (const std::string& line : event.lines)
        for (std::string_view folder : {"webapps\\", "webapps/"}) {
            const std::size_t at = line.find(folder);
            if (at == std::string::npos) continue;
            const std::size_t start = at + folder.size();
            const std::size_t end = line.find_first_of("\\/]; ", start);
            return WebappOfFile(std::string_view(line).substr(start, end == std::string::npos ? end : end - start));
        }
    return {};
}

// The webapp a "Deploying web application ..." header starts deploying.
std::optional<std::string> DeployedWebapp(std::string_view message) {
    for (std::string_view words : {"Deploying web application directory", "Deploying web application archive",
                                   "Deploying configuration descriptor"}) {
        const std::size_t at = message.find(words);
        if (at == std::string_view::npos) continue;
        return WebappOfFile(message.substr(at + words.size()));
    }
    return std::nullopt;
}

// "com/shop/Main" is the class com.shop.Main.
std::string ClassName(std::string_view text) {
    text = text::Trimmed(text, " ");
    const std::size_t end = text.find_first_of(" ;:(");
    std::string name(text.substr(0, end));
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

std::string InWebapp(const std::string& webapp) { return webapp.empty() ? std::string() : "网站应用 " + webapp + " "; }

struct EventView {
    const LogEvent& event;
    const LogContext& context;
    std::string webapp;
    // The lines that are no stack frames: the header's message and every
    // line that says something.
    std::vector<std::string_view> said;
};

std::optional<std::string_view> CauseWith(const EventView& view, std::string_view words) {
    for (auto cause = view.event.causes.rbegin(); cause != view.event.causes.rend(); ++cause)
        if (cause->find(words) != std::string::npos) return *cause;
    return std::nullopt;
}

ExplainedEvent Made(FailureKind kind, std::string explanation, const EventView& view) {
    return {kind, std::move(explanation), view.webapp};
}

ExplainedEvent JvmNotLoaded(const EventView& view) {
    return Made(FailureKind::JvmNotMade,
                "服务程序无法加载它的 JVM：检查服务设置中的 Jvm 路径，以及 jvm.dll 与 " + view.context.runner +
                    " 是否同为 32 位或 64 位",
                view);
}
ExplainedEvent ModuleMissing(const EventView& view) {
    return Made(FailureKind::JvmNotMade,
                "jvm.dll 或它需要的库（如 msvcr*.dll）不存在：检查服务设置中的 Jvm 路径和这个 Java 的安装是否完整",
                view);
}
ExplainedEvent MemoryDoesNotFit(const EventView& view) {
    return Made(FailureKind::JvmNotMade,
                "内存设置不适合这个 JVM：减小服务设置中的 JvmMx（或选项中的 -Xmx），32 位的 JVM 一般不超过 1024 MB",
                view);
}
ExplainedEvent EndorsedDirs(const EventView& view) {
    return Made(FailureKind::JvmNotMade,
                "Java 9 及以上版本不支持 -Djava.endorsed.dirs：这是为 Tomcat 6/7 写的选项，请让服务使用 Java 8 "
                "或更早的版本",
                view);
}

ExplainedEvent PortTaken(const EventView& view) {
    std::optional<unsigned> port = PortInConnectorName(view.event.message);
    for (std::size_t i = 0; !port && i < view.said.size(); ++i) port = PortInConnectorName(view.said[i]);
    // The address comes after the words; a time before them is no port.
    for (auto line = view.said.rbegin(); !port && line != view.said.rend(); ++line)
        for (std::string_view words : {"BindException", "JVM_Bind", "Address already in use"})
            if (const std::size_t at = line->find(words); !port && at != std::string_view::npos)
                port = PortAfterColon(line->substr(at));
    const std::string which = port ? "端口 " + std::to_string(*port) + " " : std::string("Tomcat 要使用的一个端口");
    return Made(FailureKind::PortTaken, which + "已被占用：结束占用它的程序，或在 conf\\server.xml 中改用其他端口",
                view);
}

// "class file version 55.0" (Java 9 on) or "Unsupported major.minor version
// 52.0" (up to Java 8): class file version N is Java N-44.
ExplainedEvent ClassVersion(const EventView& view) {
    const std::string_view cause = CauseWith(view, "UnsupportedClassVersionError").value_or(view.event.message);
    std::string named;
    constexpr std::string_view kError = "UnsupportedClassVersionError: ";
    if (const std::size_t at = cause.find(kError); at != std::string_view::npos)
        named = ClassName(cause.substr(at + kError.size()));
    const std::string in = view.webapp.empty() ? std::string() : "网站应用 " + view.webapp + " 中";
    const std::string theClass = named.empty() ? in + "有类" : (in.empty() ? "类 " : in + "的类 ") + named + " ";
    for (std::string_view words : {"class file version ", "major.minor version "}) {
        const std::size_t at = cause.find(words);
        if (at == std::string_view::npos) continue;
        const std::optional<unsigned> version = NumberAt(cause, at + words.size());
        if (!version || *version <= 44 || *version >= 200) continue;
        const std::string java = std::to_string(*version - 44);
        return Made(FailureKind::ClassVersion,
                    theClass + "是为 Java " + java + " 编译的（类文件版本 " +
                        std::to_string(*version) + "）：需要 Java " + java + " 或更高版本，请更换服务的 Jvm 或 JAVA_HOME",
                    view);
    }
    return Made(FailureKind::ClassVersion,
                theClass + "是为更高版本的 Java 编译的：请更换服务的 Jvm 或 JAVA_HOME", view);
}

ExplainedEvent NoBootstrap(const EventView& view) {
    return Made(FailureKind::MissingClass,
                "找不到 Tomcat 的启动类：检查服务设置中的 Classpath（通常是 CATALINA_HOME\\bin\\bootstrap.jar）", view);
}

ExplainedEvent OutOfMemory(const EventView& view) {
    if (std::any_of(view.said.begin(), view.said.end(),
                    [](std::string_view line) { return line.find("PermGen") != std::string_view::npos; }))
        return Made(FailureKind::Other, "PermGen 空间不足：在服务设置的选项中增大 -XX:MaxPermSize", view);
    return Made(FailureKind::Other,
                "Java 内存不足：增大服务设置中的 JvmMx（最大堆），PermGen 不足时增大选项 -XX:MaxPermSize", view);
}

ExplainedEvent AccessDenied(const EventView& view) {
    return Made(FailureKind::Other,
                "服务的登录账户缺少权限：检查它对 CATALINA_HOME、日志目录和 Java 目录的权限，或换一个账户运行服务",
                view);
}

// The runner's and the JVM's failures, known by their words. A failure is
// known when a line holds one of anyOf and, if given, also alsoNeeded; in the
// order they are tried, the runner's own words before the JVM's.
struct KnownFailure {
    std::array<std::string_view, 3> anyOf;
    std::string_view alsoNeeded;
    ExplainedEvent (*explain)(const EventView&);
};
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

std::optional<ExplainedEvent> KnownByWords(const EventView& view) {
    for (const KnownFailure& failure : kKnownFailures)
        for (std::string_view line : view.said) {
            if (!failure.alsoNeeded.empty() && line.find(failure.alsoNeeded) == std::string_view::npos) continue;
            for (std::string_view words : failure.anyOf)
                if (!words.empty() && line.find(words) != std::string_view::npos) return failure.explain(view);
        }
    return std::nullopt;
}

// "systemId: file:/C:/tomcat/conf/server.xml" is C:\tomcat\conf\server.xml.
std::string FileOfSystemId(std::string_view id) {
    if (id.starts_with("file:")) id.remove_prefix(5);
    while (id.starts_with("/") && id.size() > 2 && id[2] == ':') id.remove_prefix(1);
    while (id.starts_with("//")) id.remove_prefix(1);
    if (id.size() > 1 && id[0] == '/' && id[2] == ':') id.remove_prefix(1);
    std::string path;
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (id[i] == '%' && i + 2 < id.size() && id.substr(i + 1, 2) == "20") {
            path += ' ';
            i += 2;
        } else {
            path += id[i] == '/' ? '\\' : id[i];
        }
    }
    return path;
}

std::optional<unsigned> NumberAfter(std::string_view text, std::string_view words) {
    const std::size_t at = text.find(words);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t from = at + words.size();
    while (from < text.size() && (text[from] == ' ' || text[from] == '[')) ++from;
    return NumberAt(text, from);
}

// A configuration file the digester could not parse:
// "SAXParseException; systemId: file:/...; lineNumber: 12; columnNumber: 5; message",
// or the digester's "Parse Fatal Error at line 12 column 5: message".
std::optional<ExplainedEvent> NotParsed(const EventView& view) {
    const std::optional<std::string_view> sax = CauseWith(view, "SAXParseException");
    std::optional<std::string_view> digester;
    for (std::string_view line : view.said)
        if (text::ContainsFolded(line, "Parse Fatal Error") || text::ContainsFolded(line, "Parse Error at line"))
            digester = line;
    if (!sax && !digester) return std::nullopt;
    std::string file = "配置文件";
    std::optional<unsigned> line, column;
    std::string message;
    if (sax) {
        constexpr std::string_view kId = "systemId: ";
        if (const std::size_t at = sax->find(kId); at != std::string_view::npos)
            file = FileOfSystemId(sax->substr(at + kId.size(), sax->find(';', at) - at - kId.size()));
        line = NumberAfter(*sax, "lineNumber:");
        column = NumberAfter(*sax, "columnNumber:");
        if (const std::size_t at = sax->find("columnNumber:"); at != std::string_view::npos) {
            const std::size_t end = sax->find(';', at);
            if (end != std::string_view::npos) message = text::Trimmed(sax->substr(end + 1), " ");
        } else if (const std::size_t colon = sax->find(": "); colon != std::string_view::npos) {
            message = sax->substr(colon + 2);
        }
    }
    if (digester) {
        if (!line) line = NumberAfter(*digester, "at line");
        if (!column) column = NumberAfter(*digester, "column");
        if (message.empty())
            if (const std::size_t colon = digester->rfind(": "); colon != std::string_view::npos)
                message = digester->substr(colon + 2);
    }
    if (file == "配置文件")
        for (std::string_view said : view.said)
            if (const auto named = Bracketed(said, "configuration from"); named && !named->empty()) file = *named;
    std::string where = line ? "第 " + std::to_string(*line) + " 行" : std::string();
    if (column) where += "第 " + std::to_string(*column) + " 列";
    return Made(FailureKind::ConfigNotParsed,
                file + " 无法解析" + (where.empty() ? std::string() : "：" + where) +
                    (message.empty() ? std::string() : "，" + message),
                view);
}

// The listener, filter or servlet a header names as failing.
struct Component {
    std::string_view what;  // in Chinese
    std::string name;
};
std::optional<Component> FailedComponentOf(const EventView& view) {
    const std::string& message = view.event.message;
    const struct {
        std::string_view words;
        std::string_view what;
    } kinds[] = {{"listener of class", "监听器"}, {"listener instance of class", "监听器"},
                 {"Exception starting filter", "过滤器"}, {"filter", "过滤器"},
                 {"Servlet", "Servlet"}, {"servlet", "Servlet"}};
    for (const auto& kind : kinds)
        if (const auto name = Bracketed(message, kind.words); name && !name->empty() && name->front() != '/')
            return Component{kind.what, std::string(*name)};
    return std::nullopt;
}

std::optional<ExplainedEvent> MissingClass(const EventView& view) {
    std::optional<std::string> missing;
    for (std::string_view words : {"ClassNotFoundException: ", "NoClassDefFoundError: "})
        if (const auto cause = CauseWith(view, words)) {
            missing = ClassName(cause->substr(cause->find(words) + words.size()));
            break;
        }
    const std::optional<Component> component = FailedComponentOf(view);
    if (!missing) {
        if (!component) return std::nullopt;
        const std::string deepest = view.event.causes.empty() ? std::string() : "：" + view.event.causes.back();
        return Made(FailureKind::FailedComponent,
                    InWebapp(view.webapp) + std::string(component->what) + " " + component->name + " 启动失败" + deepest,
                    view);
    }
    const std::string notFound = InWebapp(view.webapp) + "找不到类 " + *missing;
    if (view.context.tomcatMajor >= 10 && missing->starts_with("javax.servlet")) {
        std::string renamed = *missing;
        renamed.replace(0, 5, "jakarta");
        return Made(FailureKind::MissingClass,
                    notFound + "：网站应用是为 javax 名称编写的，Tomcat 10 起这些类改名为 jakarta（" + renamed +
                        "）。请用 Tomcat 9 运行它，或把它迁移到 jakarta",
                    view);
    }
    const std::string by = component ? "（" + std::string(component->what) + " " + component->name + " 需要它）"
                                     : std::string();
    return Made(FailureKind::MissingClass,
                notFound + by + "：它所在的 jar 不在网站应用的 WEB-INF\\lib 或 CATALINA_HOME\\lib 中", view);
}

std::optional<ExplainedEvent> ContextFailed(const EventView& view) {
    const std::string& message = view.event.message;
    if (message.find("startup failed") == std::string::npos && message.find("Error starting context") == std::string::npos)
        return std::nullopt;
    const auto path = Bracketed(message, "Context ");
    if (!path) return std::nullopt;
    EventView named = view;
    named.webapp = ContextPath(*path);
    return Made(FailureKind::ContextFailed, "网站应用 " + named.webapp + " 启动失败", named);
}

std::optional<ExplainedEvent> Explain(const LogEvent& event, const LogContext& context, const std::string& deploying) {
    EventView view{event, context, WebappIn(event), {}};
    if (view.webapp.empty()) view.webapp = deploying;
    view.said.push_back(event.message);
    for (const std::string& line : event.lines)
        if (!text::Trimmed(line, " \t").starts_with("at ")) view.said.push_back(line);
    if (auto known = KnownByWords(view)) return known;
    if (auto parsed = NotParsed(view)) return parsed;
    if (auto missing = MissingClass(view)) return missing;
    return ContextFailed(view);
}

bool IsFailureEvent(const LogEvent& event) {
    if (event.level == "SEVERE" || event.level == "严重" || text::EqualFolded(event.level, "error")) return true;
    return std::any_of(event.lines.begin(), event.lines.end(),
                       [](const std::string& line) { return line.find("Exception") != std::string::npos; });
}

std::string Quoted(const LogEvent& event) {
    std::string quoted = event.lines.empty() ? event.message : event.lines.front();
    if (!event.causes.empty() && quoted.find(event.causes.back()) == std::string::npos)
        quoted += " … " + event.causes.back();
    return quoted;
}

}  // namespace

std::string ReadableLine(std::string_view line) {
    if (text::IsUtf8(line)) return std::string(line);
    std::string utf8, reason;
    if (text::DecodeGb(line, text::GbVariant::Gbk, utf8, reason)) return utf8;
    std::string ascii(line);
    std::replace_if(
        ascii.begin(), ascii.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }, '?');
    return ascii;
}

std::vector<LogEvent> ReadLogEvents(std::string_view text) {
    std::vector<LogEvent> events;
    const std::vector<std::string_view> raw = text::Lines(text);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        std::string line = ReadableLine(text::Trimmed(raw[i], "", " \t"));
        if (line.empty()) continue;
        if (std::optional<Header> header = RunnerHeader(line) ? RunnerHeader(line) : OneLineHeader(line)) {
            StartEvent(events, std::move(header), line);
        } else if (std::optional<Header> second = LevelLine(line)) {
            StartEvent(events, std::move(second), line);
        } else if (IsTomcat6FirstLine(line) && i + 1 < raw.size() &&
                   LevelLine(ReadableLine(text::Trimmed(raw[i + 1], "", " \t")))) {
            std::string next = ReadableLine(text::Trimmed(raw[++i], "", " \t"));
            StartEvent(events, LevelLine(next), next);
            events.back().lines.push_back(std::move(line));
            line = std::move(next);
        } else if (events.empty() || !ContinuesEvent(line, events.back())) {
            StartEvent(events, std::nullopt, line);
        }
        AddLine(events.back(), std::move(line));
    }
    return events;
}

bool IsStartFailure(FailureKind kind) {
    switch (kind) {
    case FailureKind::PortTaken:
    case FailureKind::JvmNotMade:
    case FailureKind::ClassVersion:
    case FailureKind::MissingClass:
    case FailureKind::ConfigNotParsed:
        return true;
    case FailureKind::FailedComponent:
    case FailureKind::ContextFailed:
    case FailureKind::Other:
        break;
    }
    return false;
}

std::optional<ExplainedEvent> ExplainEvent(const LogEvent& event, const LogContext& context) {
    return Explain(event, context, {});
}

std::vector<FoundFailure> FailuresIn(std::string_view text, const LogContext& context, std::size_t most) {
    std::vector<FoundFailure> known;
    std::optional<FoundFailure> other;
    std::string deploying;
    // The latest explained event a failed webapp may owe its failure to.
    std::optional<ExplainedEvent> lastCause;
    for (const LogEvent& event : ReadLogEvents(text)) {
        if (std::optional<std::string> webapp = DeployedWebapp(event.message)) deploying = std::move(*webapp);
        std::optional<ExplainedEvent> explained = Explain(event, context, deploying);
        if (!explained) {
            if (IsFailureEvent(event)) other = FoundFailure{std::nullopt, Quoted(event)};
            continue;
        }
        if (explained->kind != FailureKind::ContextFailed) {
            lastCause = explained;
        } else if (lastCause && (lastCause->webapp.empty() || lastCause->webapp == explained->webapp)) {
            explained->explanation += "，原因：" + lastCause->explanation;
            lastCause.reset();
        }
        std::erase_if(known, [&](const FoundFailure& seen) { return seen.explained->explanation == explained->explanation; });
        known.push_back({std::move(explained), Quoted(event)});
    }
    if (!known.empty()) {
        if (known.size() > most) known.erase(known.begin(), known.end() - static_cast<std::ptrdiff_t>(most));
        return known;
    }
    if (other) return {std::move(*other)};
    return {};
}

}  // namespace qm::diagnosis
