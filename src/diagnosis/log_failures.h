#pragma once

// The failure lines that the service runner, the JVM and Tomcat write into
// their logs, and what each means in terms a user can act on.

#include <optional>
#include <string>
#include <string_view>

namespace qm::diagnosis {

// What a log line says went wrong, in Chinese, naming the setting or fact to
// fix; nothing for a line that is no known failure. The line is read as UTF-8.
std::optional<std::string> ExplainFailureLine(std::string_view line);

}  // namespace qm::diagnosis
