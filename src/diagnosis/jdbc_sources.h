#pragma once

// Where a Tomcat installation keeps the JDBC URLs of SQL Server its
// applications will use: the Resources of server.xml's GlobalNamingResources,
// conf\context.xml, conf\Catalina\localhost\*.xml, and in each webapp (a
// folder, or a .war without one) META-INF\context.xml and
// WEB-INF\classes\*.properties. No password is read into what is found.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_inspector.h"
#include "sqlserver/jdbc_url.h"

namespace qm::diagnosis {

struct JdbcSource {
    std::string file;  // as the rows show it; inside a war: "x.war 中的 META-INF/context.xml"
    std::string url;   // passwords hidden
    std::optional<sqlserver::JdbcUrl> parsed;
    // The login given beside the URL: a Resource's username, or the
    // properties' username next to their url key.
    std::string userBeside;
    // A .properties value where Java drops a backslash (host\NAME reads as hostNAME).
    bool backslashDropped = false;
    // The webapp's folder, or its .war; empty for Tomcat's own conf files.
    std::string webapp;
    bool webappIsArchive = false;
    std::vector<std::string> archiveLibraries;  // file names in a war's WEB-INF/lib
};

struct JdbcSearch {
    std::vector<JdbcSource> urls;         // in the order of the places above
    std::vector<std::string> unreadable;  // "file：why", for files that hold configuration and could not be read
};

JdbcSearch FindJdbcUrls(FileInspector& files, std::string_view catalinaHome);

// The value of each key=value line of a .properties file as Java loads it:
// comments and blank lines skipped, lines continued by a final backslash
// joined, escapes resolved. dropped tells whether a backslash before a letter
// or digit went (Java reads "\S" as "S").
struct PropertyLine {
    std::string key;
    std::string value;
    bool dropped = false;
};
std::vector<PropertyLine> ReadProperties(std::string_view text);

}  // namespace qm::diagnosis
