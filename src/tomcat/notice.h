#pragma once

#include <string_view>

namespace qm::tomcat {

// What the environment page and the port change say when a change is done.
inline constexpr std::string_view kChangedNotice = "修改成功!";

// A server.xml with other names (hard links) is not saved: its new bytes would
// reach only one of them.
inline constexpr std::string_view kHardLinkRefusedNotice = "修改失败!server.xml有多个硬链接";

// The variables that name the two installations.
inline constexpr std::string_view kJavaHomeVariable = "JAVA_HOME";
inline constexpr std::string_view kCatalinaHomeVariable = "CATALINA_HOME";

}  // namespace qm::tomcat
