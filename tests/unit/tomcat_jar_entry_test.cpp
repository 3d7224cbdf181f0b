#include "tomcat/jar_entry.h"

#include "tomcat/installation.h"
#include "unit/catalina_jar.h"
#include "unit/diagnosis_fakes.h"

#include <gtest/gtest.h>

#include <string>

namespace qm::tomcat {
namespace {

constexpr std::string_view kServerInfo = "org/apache/catalina/util/ServerInfo.properties";

TEST(JarEntry, InflatesADeflatedEntry) {
    const auto properties = JarEntry(test::kCatalinaJar, kServerInfo, 4096);
    ASSERT_TRUE(properties.has_value());
    EXPECT_NE(properties->find("server.number=10.1.18.0\n"), std::string::npos) << *properties;
    EXPECT_EQ(properties->rfind("# Licensed", 0), 0u);
}

TEST(JarEntry, ReadsAStoredEntry) {
    EXPECT_EQ(JarEntry(test::kCatalinaJar, "org/apache/catalina/util/Stored.txt", 4096), "stored text");
}

TEST(JarEntry, AnEntryFlaggedEncryptedInEitherHeaderIsNothing) {
    constexpr std::string_view kStored = "org/apache/catalina/util/Stored.txt";
    const std::size_t local = test::kCatalinaJar.find(kStored) - 30;
    const std::size_t central = test::kCatalinaJar.rfind(kStored) - 46;
    for (const std::size_t flags : {local + 6, central + 8}) {
        std::string jar = test::kCatalinaJar;
        jar[flags] = static_cast<char>(jar[flags] | 0x01);
        EXPECT_EQ(JarEntry(jar, kStored, 4096), std::nullopt) << flags;
    }
}

TEST(JarEntry, AMissingEntryOrOneTooBigIsNothing) {
    EXPECT_EQ(JarEntry(test::kCatalinaJar, "org/apache/catalina/util/ServerInfo", 4096), std::nullopt);
    EXPECT_EQ(JarEntry(test::kCatalinaJar, kServerInfo, 16), std::nullopt);
}

TEST(JarEntry, ADamagedArchiveIsNothingAtEveryLength) {
    // Cut anywhere, the end record or the entry is gone: never a read past the end.
    for (std::size_t length = 0; length < test::kCatalinaJar.size(); ++length)
        EXPECT_EQ(JarEntry(std::string_view(test::kCatalinaJar).substr(0, length), kServerInfo, 4096), std::nullopt)
            << length;
    std::string flipped = test::kCatalinaJar;
    for (std::size_t at = 0; at < flipped.size(); ++at) {
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        // Whatever comes back, the reader stays inside the bytes it was given
        // (the sanitizers watch) and inside its bound.
        EXPECT_LE(JarEntry(flipped, kServerInfo, 4096).value_or("").size(), 4096u) << at;
        flipped[at] = test::kCatalinaJar[at];
    }
}

TEST(Installation, WithoutReleaseNotesTheVersionComesFromCatalinaJar) {
    test::FakeFiles files;
    test::FakeServices services;
    files.files["C:\\tomcat\\lib\\catalina.jar"] = test::kCatalinaJar;
    files.files["C:\\tomcat\\bin\\tomcat10.exe"] = "";
    files.listings["C:\\tomcat\\bin"] = {{"tomcat10.exe"}};
    const Installation installation = ReadInstallation("C:\\tomcat", files, services);
    EXPECT_EQ(installation.version.source, VersionSource::CatalinaJar);
    EXPECT_EQ(installation.version.text, "10.1.18.0");
    EXPECT_EQ(installation.version.minor, 1);
    EXPECT_EQ(installation.versionFile, "C:\\tomcat\\lib\\catalina.jar");
}

TEST(VersionInServerInfo, TakesServerNumberOnly) {
    EXPECT_EQ(VersionInServerInfo("server.info=Apache Tomcat/9.0.85\r\nserver.number = 9.0.85.0\r\n")->text,
              "9.0.85.0");
    EXPECT_EQ(VersionInServerInfo("server.info=Apache Tomcat/9.0.85\n"), std::nullopt);
}

}  // namespace
}  // namespace qm::tomcat
