#include "diagnosis/jdbc_sources.h"

#include <algorithm>
#include <cctype>

#include "diagnosis/checks.h"
#include "tomcat/jar_entry.h"
#include "xml/xml_file.h"

namespace qm::diagnosis {
namespace {

using xml::XmlDocument;
using xml::XmlNodeId;

// A .properties file or a context.xml is a few KB; these bounds only keep a
// wrong file from costing much.
constexpr std::size_t kPropertiesBytes = 1024 * 1024;
// The directory of a war with tens of thousands of entries still fits.
constexpr std::size_t kArchiveDirectoryBytes = 4 * 1024 * 1024;
// A war is read from its start only as far as the entries wanted; these lie
// near the start in the wars the build tools make.
constexpr std::uint64_t kArchiveHeadBytes = 64 * 1024 * 1024;

constexpr std::string_view kArchiveContext = "META-INF/context.xml";
constexpr std::string_view kArchiveClasses = "WEB-INF/classes/";
constexpr std::string_view kArchiveLibraries = "WEB-INF/lib/";

std::vector<DirectoryItem> Sorted(std::optional<std::vector<DirectoryItem>> items) {
    if (!items) return {};
    std::sort(items->begin(), items->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return std::move(*items);
}

constexpr std::string_view kPropertyBlanks = " \t\f";

// A .properties text with Java's escapes resolved.
std::string Unescaped(std::string_view text, bool& dropped) {
    std::string plain;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\' || at + 1 == text.size()) {
            plain += text[at];
            continue;
        }
        const char escaped = text[++at];
        switch (escaped) {
        case 't':
            plain += '\t';
            break;
        case 'n':
            plain += '\n';
            break;
        case 'r':
            plain += '\r';
            break;
        case 'f':
            plain += '\f';
            break;
        case 'u': {
            unsigned code = 0;
            for (int digit = 0;
                 digit < 4 && at + 1 < text.size() && std::isxdigit(static_cast<unsigned char>(text[at + 1]));
                 ++digit) {
                const char h = text[++at];
                code = code * 16 + static_cast<unsigned>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
            }
            // A URL is ASCII; any other character only keeps its place.
            plain += code < 0x80 ? static_cast<char>(code) : '?';
            break;
        }
        default:
            plain += escaped;
        }
        if (std::isalnum(static_cast<unsigned char>(escaped))) dropped = true;
    }
    return plain;
}

class Finder {
public:
    Finder(FileInspector& files, std::string_view home) : files_(files), home_(home) {}

    JdbcSearch Run() {
        const std::string serverXml = JoinPath(home_, "conf\\server.xml");
        // The Tomcat group says already when server.xml can't be read.
        if (auto document = Load(serverXml, false)) {
            for (XmlNodeId node : Elements(*document, RootElement(*document)))
                if (document->LocalName(node) == "GlobalNamingResources") Resources(*document, node, serverXml, {});
        }
        ContextFile(JoinPath(home_, "conf\\context.xml"), {});
        const std::string hostConf = JoinPath(home_, "conf\\Catalina\\localhost");
        for (const DirectoryItem& item : Sorted(files_.List(hostConf)))
            if (!item.directory && EndsFolded(item.name, ".xml")) ContextFile(JoinPath(hostConf, item.name), {});
        Webapps();
        return std::move(found_);
    }

private:
    static XmlNodeId RootElement(const XmlDocument& document) {
        for (XmlNodeId node : document.ChildNodes(document.DocumentNode()))
            if (document.Kind(node) == xml::XmlNodeKind::Element) return node;
        return document.DocumentNode();
    }
    static std::vector<XmlNodeId> Elements(const XmlDocument& document, XmlNodeId parent) {
        std::vector<XmlNodeId> elements;
        for (XmlNodeId node : document.ChildNodes(parent))
            if (document.Kind(node) == xml::XmlNodeKind::Element) elements.push_back(node);
        return elements;
    }

    std::optional<XmlDocument> Load(const std::string& path, bool tell = true) {
        if (!files_.IsFile(path)) return std::nullopt;
        xml::LoadResult loaded = xml::LoadXmlFile(files_, path);
        if (!loaded.ok()) {
            if (tell) found_.unreadable.push_back(ShownPath(path) + "：" + loaded.error);
            return std::nullopt;
        }
        return std::move(loaded.document);
    }

    // Every attribute of each Resource below parent whose value is such a URL.
    void Resources(const XmlDocument& document, XmlNodeId parent, const std::string& file, const JdbcSource& where) {
        for (XmlNodeId resource : Elements(document, parent)) {
            if (document.LocalName(resource) != "Resource") continue;
            std::string user;
            for (std::string_view name : {"username", "user"})
                if (auto value = document.GetAttribute(resource, name); value && user.empty()) user = *value;
            for (const std::string& name : document.AttributeNames(resource)) {
                const std::optional<std::string> value = document.GetAttribute(resource, name);
                if (value && sqlserver::IsSqlServerJdbcUrl(*value)) Add(ShownPath(file), *value, user, false, where);
            }
        }
    }

    void ContextDocument(const XmlDocument& document, const std::string& file, const JdbcSource& where) {
        const XmlNodeId context = RootElement(document);
        if (document.LocalName(context) == "Context") Resources(document, context, file, where);
    }

    void ContextFile(const std::string& path, const JdbcSource& where) {
        if (auto document = Load(path)) ContextDocument(*document, path, where);
    }

    void PropertiesText(std::string_view text, const std::string& file, const JdbcSource& where) {
        const std::vector<PropertyLine> lines = ReadProperties(text);
        for (const PropertyLine& line : lines) {
            if (!sqlserver::IsSqlServerJdbcUrl(line.value)) continue;
            // spring.datasource.url beside spring.datasource.username, jdbc.url beside jdbc.user.
            const std::size_t dot = line.key.rfind('.');
            const std::string stem = dot == std::string::npos ? std::string() : line.key.substr(0, dot + 1);
            std::string user;
            for (std::string_view name : {"username", "user"})
                for (const PropertyLine& other : lines)
                    if (user.empty() && EqualFolded(other.key, stem + std::string(name))) user = other.value;
            Add(file, line.value, user, line.dropped, where);
        }
    }

    void Add(std::string file, std::string_view url, std::string user, bool dropped, const JdbcSource& where) {
        JdbcSource source = where;
        source.file = std::move(file);
        source.url = sqlserver::HidePasswords(url);
        source.parsed = sqlserver::ParseJdbcUrl(url);
        source.userBeside = std::move(user);
        source.backslashDropped = dropped;
        found_.urls.push_back(std::move(source));
    }

    void Webapps() {
        const std::string webapps = JoinPath(home_, "webapps");
        const std::vector<DirectoryItem> items = Sorted(files_.List(webapps));
        for (const DirectoryItem& item : items) {
            if (item.directory) {
                Folder(JoinPath(webapps, item.name));
                continue;
            }
            if (!EndsFolded(item.name, ".war")) continue;
            const std::string base = item.name.substr(0, item.name.size() - 4);
            // Tomcat runs the folder it unpacked; the war is read only without one.
            const bool unpacked = std::any_of(items.begin(), items.end(), [&](const DirectoryItem& other) {
                return other.directory && EqualFolded(other.name, base);
            });
            if (!unpacked) Archive(JoinPath(webapps, item.name));
        }
    }

    void Folder(const std::string& folder) {
        JdbcSource where;
        where.webapp = folder;
        ContextFile(JoinPath(folder, "META-INF\\context.xml"), where);
        const std::string classes = JoinPath(folder, "WEB-INF\\classes");
        for (const DirectoryItem& item : Sorted(files_.List(classes))) {
            if (item.directory || !EndsFolded(item.name, ".properties")) continue;
            const std::string path = JoinPath(classes, item.name);
            if (auto text = files_.ReadHead(path, kPropertiesBytes)) PropertiesText(*text, ShownPath(path), where);
        }
    }

    void Archive(const std::string& war) {
        const std::string shown = ShownPath(war);
        const std::optional<std::string> tail = files_.ReadTail(war, kArchiveDirectoryBytes);
        const auto directory = tail ? tomcat::ArchiveDirectory(*tail) : std::nullopt;
        if (!directory) {
            found_.unreadable.push_back(shown + "：无法读出其中的文件列表");
            return;
        }
        JdbcSource where;
        where.webapp = war;
        where.webappIsArchive = true;
        std::vector<const tomcat::ArchiveEntry*> wanted;
        std::uint64_t reach = 0;
        for (const tomcat::ArchiveEntry& entry : *directory) {
            const std::string_view name = entry.name;
            if (name.starts_with(kArchiveLibraries) && EndsFolded(name, ".jar") &&
                name.find('/', kArchiveLibraries.size()) == std::string_view::npos)
                where.archiveLibraries.push_back(std::string(name.substr(kArchiveLibraries.size())));
            const bool properties = name.starts_with(kArchiveClasses) && EndsFolded(name, ".properties") &&
                                    name.find('/', kArchiveClasses.size()) == std::string_view::npos;
            if (name != kArchiveContext && !properties) continue;
            wanted.push_back(&entry);
            reach = std::max(reach, tomcat::BytesUpToEntry(entry));
        }
        if (wanted.empty()) return;
        std::sort(wanted.begin(), wanted.end(), [](const auto* a, const auto* b) {
            // context.xml first, then the properties by name.
            return std::make_pair(a->name != kArchiveContext, a->name) <
                   std::make_pair(b->name != kArchiveContext, b->name);
        });
        const std::optional<std::string> head =
            files_.ReadHead(war, static_cast<std::size_t>(std::min(reach, kArchiveHeadBytes)));
        for (const tomcat::ArchiveEntry* entry : wanted) {
            const std::string file = shown + " 中的 " + entry->name;
            const auto contents = head ? tomcat::EntryContents(*head, *entry, kPropertiesBytes) : std::nullopt;
            if (!contents) {
                found_.unreadable.push_back(file + "：无法从压缩包中读出");
                continue;
            }
            if (entry->name != kArchiveContext) {
                PropertiesText(*contents, file, where);
                continue;
            }
            xml::LoadResult loaded = xml::LoadXmlDocument(*contents);
            if (loaded.ok())
                ContextDocument(*loaded.document, file, where);
            else
                found_.unreadable.push_back(file + "：" + loaded.error);
        }
    }

    FileInspector& files_;
    std::string home_;
    JdbcSearch found_;
};

}  // namespace

JdbcSearch FindJdbcUrls(FileInspector& files, std::string_view catalinaHome) {
    if (catalinaHome.empty()) return {};
    return Finder(files, catalinaHome).Run();
}

std::vector<PropertyLine> ReadProperties(std::string_view text) {
    std::vector<PropertyLine> lines;
    const std::vector<std::string_view> physical = Lines(text);
    for (std::size_t i = 0; i < physical.size(); ++i) {
        std::string logical;
        for (bool first = true;; first = false) {
            const std::string_view line = text::Trimmed(physical[i], kPropertyBlanks, "");
            if (first && (line.empty() || line.front() == '#' || line.front() == '!')) break;
            std::size_t slashes = 0;
            while (slashes < line.size() && line[line.size() - 1 - slashes] == '\\') ++slashes;
            const bool continued = slashes % 2 == 1;
            logical += line.substr(0, line.size() - (continued ? 1 : 0));
            if (!continued || i + 1 == physical.size()) break;
            ++i;
        }
        if (logical.empty()) continue;
        // The key ends at the first unescaped '=', ':' or blank; blanks and
        // one separator then stand between it and the value.
        std::size_t end = 0;
        while (end < logical.size() && std::string_view("=: \t\f").find(logical[end]) == std::string_view::npos)
            end += logical[end] == '\\' ? 2 : 1;
        end = std::min(end, logical.size());
        std::size_t value = logical.find_first_not_of(kPropertyBlanks, end);
        if (value != std::string::npos && (logical[value] == '=' || logical[value] == ':')) ++value;
        value = value == std::string::npos ? logical.size() : logical.find_first_not_of(kPropertyBlanks, value);
        PropertyLine parsed;
        bool droppedInKey = false;
        parsed.key = Unescaped(std::string_view(logical).substr(0, end), droppedInKey);
        if (value != std::string::npos)
            parsed.value = Unescaped(std::string_view(logical).substr(value), parsed.dropped);
        lines.push_back(std::move(parsed));
    }
    return lines;
}

}  // namespace qm::diagnosis
