// Load and save of a large server.xml-like document: the whole file is
// parsed at every click, so a 10 MB file must still be quick.
#include <benchmark/benchmark.h>

#include <string>

#include "xml/document.h"

namespace {

std::string LargeDocument(std::size_t bytes) {
  std::string text = "<?xml version='1.0' encoding='utf-8'?>\r\n<Server port=\"8005\">\r\n  <Service name=\"Catalina\">\r\n";
  const std::string block =
      "    <!-- Define a non-SSL HTTP/1.1 Connector -->\r\n"
      "    <Connector port='8080' protocol='HTTP/1.1' connectionTimeout='20000' redirectPort='8443' />\r\n"
      "    <Host name=\"localhost\" appBase=\"webapps\">text &amp; \xE4\xB8\xAD\xE6\x96\x87</Host>\r\n";
  while (text.size() < bytes) text += block;
  return text + "  </Service>\r\n</Server>\r\n";
}

void LoadAndSaveTenMegabytes(benchmark::State& state) {
  const std::string text = LargeDocument(10u * 1024u * 1024u);
  for (auto _ : state) {
    qm::xml::LoadResult loaded = qm::xml::LoadXmlDocument(text);
    if (!loaded.ok()) {
      state.SkipWithError(loaded.error.c_str());
      break;
    }
    loaded.document->SetGb2312Declaration();
    qm::xml::SaveResult saved = loaded.document->SaveAsGb2312();
    benchmark::DoNotOptimize(saved.bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(LoadAndSaveTenMegabytes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
