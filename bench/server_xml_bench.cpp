// What one click of "修改" costs: load server.xml, find the HTTP/1.1
// connector, set its port, save. On a file of Tomcat's own size and on a
// 10 MB one, beside pugixml doing the same on the same bytes (it saves in
// UTF-8: it has no GB2312), to see how far our own document is from a
// well-known fast one.
#include <benchmark/benchmark.h>

#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "tomcat/server_xml_port.h"
#include "xml/document.h"

#ifdef QM_WITH_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

// About the size of the file Tomcat 6 installs (6-7 KB, mostly comments).
std::string TomcatSizedServerXml() {
    std::string text =
        "<?xml version='1.0' encoding='utf-8'?>\r\n"
        "<!--\r\n  This file configures the server: its listeners, the global resources, the\r\n"
        "  service with its connectors and the engine with its hosts. Every element below\r\n"
        "  is described in the documentation that comes with the server; read it before\r\n"
        "  changing anything that is not a port.\r\n-->\r\n"
        "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\r\n"
        "  <!--APR library loader. Documentation at /docs/apr.html -->\r\n"
        "  <Listener className=\"org.apache.catalina.core.AprLifecycleListener\" SSLEngine=\"on\" />\r\n"
        "  <Listener className=\"org.apache.catalina.core.JasperListener\" />\r\n"
        "  <Listener className=\"org.apache.catalina.core.JreMemoryLeakPreventionListener\" />\r\n"
        "  <Listener className=\"org.apache.catalina.mbeans.ServerLifecycleListener\" />\r\n"
        "  <Listener className=\"org.apache.catalina.mbeans.GlobalResourcesLifecycleListener\" />\r\n"
        "  <GlobalNamingResources>\r\n"
        "    <Resource name=\"UserDatabase\" auth=\"Container\"\r\n"
        "              type=\"org.apache.catalina.UserDatabase\"\r\n"
        "              description=\"User database that can be updated and saved\"\r\n"
        "              factory=\"org.apache.catalina.users.MemoryUserDatabaseFactory\"\r\n"
        "              pathname=\"conf/tomcat-users.xml\" />\r\n"
        "  </GlobalNamingResources>\r\n"
        "  <Service name=\"Catalina\">\r\n";
    const std::string commentedOut =
        "    <!--\r\n    <Connector executor=\"tomcatThreadPool\"\r\n"
        "               port=\"8080\" protocol=\"HTTP/1.1\"\r\n"
        "               connectionTimeout=\"20000\"\r\n"
        "               redirectPort=\"8443\" />\r\n    -->\r\n";
    for (int i = 0; i < 12; ++i) text += commentedOut;
    text +=
        "    <Connector port=\"8080\" protocol=\"HTTP/1.1\"\r\n"
        "               connectionTimeout=\"20000\"\r\n"
        "               redirectPort=\"8443\" />\r\n"
        "    <!-- Define an AJP 1.3 Connector on port 8009 -->\r\n"
        "    <Connector port=\"8009\" protocol=\"AJP/1.3\" redirectPort=\"8443\" />\r\n"
        "    <Engine name=\"Catalina\" defaultHost=\"localhost\">\r\n";
    for (int i = 0; i < 14; ++i) text += commentedOut;
    text +=
        "      <Realm className=\"org.apache.catalina.realm.UserDatabaseRealm\" resourceName=\"UserDatabase\"/>\r\n"
        "      <Host name=\"localhost\"  appBase=\"webapps\"\r\n"
        "            unpackWARs=\"true\" autoDeploy=\"true\"\r\n"
        "            xmlValidation=\"false\" xmlNamespaceAware=\"false\">\r\n"
        "      </Host>\r\n"
        "    </Engine>\r\n"
        "  </Service>\r\n"
        "</Server>\r\n";
    return text;
}

// 10 MB: a long run of AJP connectors that the search walks to the HTTP/1.1
// one at its end, then an engine of many hosts with comments and text.
std::string TenMegabyteServerXml() {
    constexpr std::size_t kHalf = 5u * 1024u * 1024u;
    std::string text =
        "<?xml version='1.0' encoding='utf-8'?>\r\n<Server port=\"8005\">\r\n  <Service name=\"Catalina\">\r\n";
    for (int port = 10000; text.size() < kHalf; ++port)
        text += "    <Connector port=\"" + std::to_string(port % 60000) +
                "\" protocol=\"AJP/1.3\" redirectPort=\"8443\" connectionTimeout=\"20000\" />\r\n";
    text += "    <Connector port=\"8080\" protocol=\"HTTP/1.1\" redirectPort=\"8443\" />\r\n";
    text += "    <Engine name=\"Catalina\" defaultHost=\"localhost\">\r\n";
    while (text.size() < 2 * kHalf)
        text +=
            "      <!-- one of many hosts -->\r\n"
            "      <Host name=\"localhost\" appBase=\"webapps\" unpackWARs=\"true\">"
            "text &amp; \xE4\xB8\xAD\xE6\x96\x87</Host>\r\n";
    return text + "    </Engine>\r\n  </Service>\r\n</Server>\r\n";
}

const std::string& Document(int which) {
    static const std::string tomcatSized = TomcatSizedServerXml();
    static const std::string tenMegabytes = TenMegabyteServerXml();
    return which == 0 ? tomcatSized : tenMegabytes;
}

void SetLabel(benchmark::State& state, const std::string& text) {
    state.SetLabel(std::to_string(text.size() / 1024) + " KB");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void OursLoadFindSave(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        qm::xml::LoadResult loaded = qm::xml::LoadXmlDocument(text);
        if (!loaded.ok()) {
            state.SkipWithError(loaded.error.c_str());
            break;
        }
        loaded.document->SetGb2312Declaration();
        const auto connector = qm::tomcat::FindHttpConnector(*loaded.document);
        std::string reason;
        if (!connector || !loaded.document->SetAttribute(connector->node, "port", "9090", reason)) {
            state.SkipWithError("no HTTP/1.1 connector");
            break;
        }
        qm::xml::SaveResult saved = loaded.document->SaveAsGb2312();
        benchmark::DoNotOptimize(saved.bytes.data());
    }
    SetLabel(state, text);
}
BENCHMARK(OursLoadFindSave)->Arg(0)->Arg(1)->ArgName("tenMB")->Unit(benchmark::kMicrosecond);

#ifdef QM_WITH_PUGIXML

struct StringWriter : pugi::xml_writer {
    std::string bytes;
    void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
};

// The same search: first Connector, then the nodes after it until one says HTTP/1.1.
pugi::xml_node PugiHttpConnector(const pugi::xml_document& document) {
    pugi::xml_node node = document.child("Server").child("Service").child("Connector");
    while (node && std::string_view(node.attribute("protocol").value()) != "HTTP/1.1") {
        node = node.next_sibling();
        if (node && (!node.attribute("protocol") || !node.attribute("port"))) return {};
    }
    return node;
}

void PugixmlLoadFindSave(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pugi::xml_document document;
        // Comments kept, as ours keeps them: the search must step over them.
        const unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;
        const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size(), options);
        pugi::xml_node connector = PugiHttpConnector(document);
        if (!parsed || !connector) {
            state.SkipWithError("pugixml found no HTTP/1.1 connector");
            break;
        }
        connector.attribute("port").set_value("9090");
        StringWriter writer;
        document.save(writer, "", pugi::format_raw);
        benchmark::DoNotOptimize(writer.bytes.data());
    }
    SetLabel(state, text);
}
BENCHMARK(PugixmlLoadFindSave)->Arg(0)->Arg(1)->ArgName("tenMB")->Unit(benchmark::kMicrosecond);

void PugixmlParseOnly(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer(text.data(), text.size()));
    }
    SetLabel(state, text);
}
BENCHMARK(PugixmlParseOnly)->Arg(0)->Arg(1)->ArgName("tenMB")->Unit(benchmark::kMicrosecond);

#endif

void OursParseOnly(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(qm::xml::LoadXmlDocument(text).ok());
    SetLabel(state, text);
}
BENCHMARK(OursParseOnly)->Arg(0)->Arg(1)->ArgName("tenMB")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Freed memory stays with the process, so that every run works on pages
    // already faulted in. Otherwise which benchmark ran before decides how
    // many of the 10 MB buffers go back to the kernel and come back zeroed,
    // and that cost swamps the work of the documents compared.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
