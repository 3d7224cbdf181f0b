#pragma once

// Logs as Tomcat, its JVM and its service runner write them: events, each a
// header line (or two, for Tomcat 6) followed by the exception, its
// "Caused by:" chain and its stack frames; and what an event says went wrong,
// in terms a user can act on.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::diagnosis {

struct LogEvent {
    // The header's message, or the event's first line when it has no header
    // (stdout and stderr carry Java's bare lines too).
    std::string message;
    std::string level;  // as written: "SEVERE", "error", "严重"; empty without a header
    // Every line, the header's first; readable UTF-8 without line ends.
    std::vector<std::string> lines;
    // The exception and each cause after it, outermost first: "java.net.BindException: ...".
    std::vector<std::string> causes;
};

// The events of a log's text, oldest first. A text cut out of a longer file
// should begin on a line boundary.
std::vector<LogEvent> ReadLogEvents(std::string_view text);

// What the explanations name after the installation.
struct LogContext {
    std::string runner = "tomcat6.exe";  // the service runner's file name
    int tomcatMajor = 0;                 // 0 when unknown
};

enum class FailureKind {
    PortTaken,
    JvmNotMade,
    ClassVersion,
    MissingClass,
    FailedComponent,  // a listener, filter or servlet that failed otherwise
    ContextFailed,
    ConfigNotParsed,
    Other,  // the runner's other known failures: memory, rights, classpath
};

struct ExplainedEvent {
    FailureKind kind = FailureKind::Other;
    std::string explanation;  // Chinese, naming what the event names
    std::string webapp;       // its context path ("/shop", "/" for ROOT); empty when none
};

// Whether an event of this kind keeps Tomcat from starting or serving.
bool IsStartFailure(FailureKind kind);

// What one event says went wrong; nothing for an event that is no known failure.
std::optional<ExplainedEvent> ExplainEvent(const LogEvent& event, const LogContext& context);

// A failure event of a log with what it means (nothing: a failure the
// program can't explain), and the event's lines as a row quotes them.
struct FoundFailure {
    std::optional<ExplainedEvent> explained;
    std::string quoted;
};

// The failures of a log's text: each distinct known one once, its latest,
// in the order they last appear (at most `most`, the latest kept); with no
// known one, the last event that is a failure (SEVERE, an error, an
// exception). A failed webapp's row names the event before it that caused it.
std::vector<FoundFailure> FailuresIn(std::string_view text, const LogContext& context, std::size_t most);

// A log line as readable UTF-8: as it is, else read as GBK, else with every
// byte past ASCII shown as '?'.
std::string ReadableLine(std::string_view line);

}  // namespace qm::diagnosis
