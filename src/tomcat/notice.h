#pragma once

#include <string_view>

namespace qm::tomcat {

// Every message of the environment and Tomcat pages is an information box
// with this caption.
inline constexpr std::string_view kNoticeCaption = "提示";

// The variables that name the two installations.
inline constexpr std::string_view kJavaHomeVariable = "JAVA_HOME";
inline constexpr std::string_view kCatalinaHomeVariable = "CATALINA_HOME";

}  // namespace qm::tomcat
