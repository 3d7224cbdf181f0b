// The port change on real files through the Windows file system: the path
// forms that CATALINA_HOME gives, the read-only attribute, and what the
// replace keeps of the original file.
#include "platform/win32/file_inspector_win.h"
#include "platform/win32/file_system_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "support/lib/links.h"
#include "support/lib/processes.h"
#include "tomcat/server_xml_port.h"
#include "platform/file_replacer.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <filesystem>
#include <string>

namespace qm {
namespace {

namespace fs = std::filesystem;

const std::string kServerXml =
    "<?xml version='1.0' encoding='utf-8'?>\r\n"
    "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\r\n"
    "  <Service name=\"Catalina\">\r\n"
    "    <Connector port=\"8080\" protocol=\"HTTP/1.1\" connectionTimeout=\"20000\" redirectPort=\"8443\" />\r\n"
    "    <Connector port=\"8009\" protocol=\"AJP/1.3\" redirectPort=\"8443\" />\r\n"
    "  </Service>\r\n"
    "</Server>\r\n";

const std::string kChangedTo9090 =
    "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
    "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\r\n"
    "  <Service name=\"Catalina\">\r\n"
    "    <Connector port=\"9090\" protocol=\"HTTP/1.1\" connectionTimeout=\"20000\" redirectPort=\"8443\" />\r\n"
    "    <Connector port=\"8009\" protocol=\"AJP/1.3\" redirectPort=\"8443\" />\r\n"
    "  </Service>\r\n"
    "</Server>\r\n";

class ServerXmlPortOnWindows : public ::testing::Test {
protected:
    void SetUp() override { test::CreateFileWithText(ServerXml(), kServerXml); }

    fs::path Home() const { return scratch.Path() / L"服务器" / L"tomcat6"; }
    fs::path ServerXml() const { return Home() / L"conf" / L"server.xml"; }
    std::string HomeText() const { return win32::Narrow(Home().wstring()); }
    std::string Contents() const { return test::ReadWholeFile(ServerXml()).value_or("<missing>"); }
    size_t FilesInConf() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(Home() / L"conf"), fs::directory_iterator()));
    }
    size_t OurTemporaryFiles() const {
        size_t count = 0;
        for (const auto& entry : fs::directory_iterator(Home() / L"conf"))
            if (IsReplacementOf(win32::Narrow(entry.path().filename().wstring()), "server.xml")) ++count;
        return count;
    }
    DWORD Attributes() const { return GetFileAttributesW(ServerXml().c_str()); }

    tomcat::ConnectorPortOutcome Run(const std::string& path, const std::string& newPort) {
        return tomcat::WriteConnectorPort(path, newPort, probe, replacer);
    }

    test::ScratchDirectory scratch;
    win32::Win32FileInspector probe;
    win32::WindowsFileSystem files;
    WholeFileReplacer replacer{files};
};

// The owner and the access rules of a file, as text.
std::wstring OwnerAndAccessRules(const fs::path& file) {
    constexpr SECURITY_INFORMATION kWhich = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityW(file.c_str(), kWhich, nullptr, 0, &needed);
    std::string descriptor(needed, '\0');
    if (needed == 0 || !GetFileSecurityW(file.c_str(), kWhich, descriptor.data(), needed, &needed)) return L"<none>";
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1, kWhich, &text,
                                                              nullptr))
        return L"<none>";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

// Only the system and the owner may touch the file: no entry for everyone,
// which a file new in that directory gets. (Wine keeps the rules as the Unix
// permission bits, and reads only an entry naming the owner's own SID as the
// owner's.)
void RestrictToSystemAndOwner(const fs::path& file) {
    const std::wstring before = OwnerAndAccessRules(file);
    const size_t ownerEnd = before.find(L"D:");
    ASSERT_TRUE(before.starts_with(L"O:") && ownerEnd != std::wstring::npos) << before;
    const std::wstring owner = before.substr(2, ownerEnd - 2);
    PSECURITY_DESCRIPTOR restricted = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        (L"D:P(A;;FA;;;SY)(A;;FA;;;" + owner + L")").c_str(), SDDL_REVISION_1, &restricted, nullptr));
    const BOOL set = SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, restricted);
    LocalFree(restricted);
    ASSERT_TRUE(set);
}

// --- Paths as CATALINA_HOME gives them ----------------------------------------

TEST_F(ServerXmlPortOnWindows, ReadsThroughMixedSeparators) {
    const std::string path = tomcat::ServerXmlPath(HomeText());
    ASSERT_NE(path.find("\\tomcat6/conf/server.xml"), std::string::npos) << path;
    EXPECT_EQ(Run(path, "").shownPort, "8080");
    EXPECT_EQ(Contents(), kServerXml);
}

TEST_F(ServerXmlPortOnWindows, ChangesThroughMixedSeparators) {
    const tomcat::ConnectorPortOutcome outcome = Run(tomcat::ServerXmlPath(HomeText()), "9090");
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(outcome.shownPort, "9090");
    EXPECT_EQ(Contents(), kChangedTo9090);
    EXPECT_EQ(FilesInConf(), 1u);
}

TEST_F(ServerXmlPortOnWindows, ChangesWithABackslashRightBeforeTheSlash) {
    const std::string path = tomcat::ServerXmlPath(HomeText() + "\\");
    ASSERT_NE(path.find("\\tomcat6\\/conf/server.xml"), std::string::npos) << path;
    EXPECT_EQ(Run(path, "").shownPort, "8080");
    EXPECT_TRUE(Run(path, "9090").saved);
    EXPECT_EQ(Contents(), kChangedTo9090);
    EXPECT_EQ(FilesInConf(), 1u);
}

TEST_F(ServerXmlPortOnWindows, InstallationWithoutServerXmlShowsNothing) {
    fs::remove(ServerXml());
    EXPECT_FALSE(Run(tomcat::ServerXmlPath(HomeText()), "").shownPort.has_value());
    fs::create_directories(ServerXml());
    EXPECT_FALSE(Run(tomcat::ServerXmlPath(HomeText()), "9090").shownPort.has_value());
    EXPECT_FALSE(probe.IsFile(win32::Narrow(ServerXml().wstring())));
}

// --- The read-only attribute and what the swap keeps ---------------------------

TEST_F(ServerXmlPortOnWindows, ReadOnlyFileIsLeftUntouchedAndNothingShown) {
    ASSERT_TRUE(SetFileAttributesW(ServerXml().c_str(), FILE_ATTRIBUTE_READONLY));
    const tomcat::ConnectorPortOutcome outcome = Run(tomcat::ServerXmlPath(HomeText()), "9090");
    EXPECT_FALSE(outcome.saved);
    EXPECT_FALSE(outcome.shownPort.has_value());
    EXPECT_EQ(Contents(), kServerXml);
    EXPECT_EQ(FilesInConf(), 1u);
    // Reading never needed to write.
    EXPECT_EQ(Run(tomcat::ServerXmlPath(HomeText()), "").shownPort, "8080");
    SetFileAttributesW(ServerXml().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ServerXmlPortOnWindows, HiddenAndArchiveAttributesSurviveTheChange) {
    ASSERT_TRUE(SetFileAttributesW(ServerXml().c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(Run(tomcat::ServerXmlPath(HomeText()), "9090").saved);
    EXPECT_EQ(Contents(), kChangedTo9090);
    const DWORD after = Attributes();
    EXPECT_TRUE(after & FILE_ATTRIBUTE_HIDDEN) << std::hex << after;
    EXPECT_TRUE(after & FILE_ATTRIBUTE_ARCHIVE) << std::hex << after;
    EXPECT_EQ(FilesInConf(), 1u);
}

TEST_F(ServerXmlPortOnWindows, OwnerAndAccessRulesSurviveTheChange) {
    ASSERT_NO_FATAL_FAILURE(RestrictToSystemAndOwner(ServerXml()));
    const std::wstring restrictedRules = OwnerAndAccessRules(ServerXml());
    test::CreateFileWithText(Home() / L"conf" / L"fresh.xml");
    ASSERT_NE(OwnerAndAccessRules(Home() / L"conf" / L"fresh.xml"), restrictedRules) << "nothing to tell apart";
    fs::remove(Home() / L"conf" / L"fresh.xml");

    ASSERT_TRUE(Run(tomcat::ServerXmlPath(HomeText()), "9090").saved);
    EXPECT_EQ(Contents(), kChangedTo9090);
    EXPECT_EQ(OwnerAndAccessRules(ServerXml()), restrictedRules);
}

TEST_F(ServerXmlPortOnWindows, CreationTimeSurvivesTheChange) {
    FILETIME created{};
    {
        win32::UniqueFileHandle file(CreateFileW(ServerXml().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        SYSTEMTIME when{2009, 4, 0, 1, 12, 0, 0, 0};
        ASSERT_TRUE(SystemTimeToFileTime(&when, &created));
        ASSERT_TRUE(SetFileTime(file.get(), &created, nullptr, nullptr));
    }
    WIN32_FILE_ATTRIBUTE_DATA before{};
    ASSERT_TRUE(GetFileAttributesExW(ServerXml().c_str(), GetFileExInfoStandard, &before));
    if (CompareFileTime(&before.ftCreationTime, &created) != 0)
        GTEST_SKIP() << "this file system does not keep a creation time that is set (Wine on Linux)";
    ASSERT_TRUE(Run(tomcat::ServerXmlPath(HomeText()), "9090").saved);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(ServerXml().c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(CompareFileTime(&data.ftCreationTime, &created), 0);
}

TEST_F(ServerXmlPortOnWindows, ANewFileHasTheOldOnesAccessRulesBeforeAByteIsWritten) {
    ASSERT_NO_FATAL_FAILURE(RestrictToSystemAndOwner(ServerXml()));
    const fs::path created = Home() / L"conf" / L"created.tmp";
    FileStatus status;
    std::unique_ptr<NewFile> file =
        files.CreateNew(win32::Narrow(created.wstring()), win32::Narrow(ServerXml().wstring()), status);
    ASSERT_TRUE(file) << status.code;
    file.reset();
    EXPECT_EQ(fs::file_size(created), 0u);
    EXPECT_EQ(OwnerAndAccessRules(created), OwnerAndAccessRules(ServerXml()));
}

// --- Links -----------------------------------------------------------------------

// The configuration kept elsewhere and linked into conf, as some installations do.
class LinkedServerXml : public ServerXmlPortOnWindows {
protected:
    void SetUp() override {
        test::CreateFileWithText(Real(), kServerXml);
        fs::create_directories(Home() / L"conf");
        ASSERT_TRUE(test::MakeFileLink(ServerXml(), Real()));
        ASSERT_EQ(Contents(), kServerXml);
    }
    // Before the scratch directory goes, which would delete the target.
    void TearDown() override { test::RemoveFileLink(ServerXml()); }
    fs::path Real() const { return scratch.Path() / L"配置" / L"server.xml"; }
    std::string RealContents() const { return test::ReadWholeFile(Real()).value_or("<missing>"); }
    size_t FilesBesideReal() const {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(Real().parent_path()), fs::directory_iterator()));
    }
};

TEST_F(LinkedServerXml, TheChangeGoesToTheLinkedFileWhoseAttributesStayAndTheLinkStaysALink) {
    ASSERT_TRUE(SetFileAttributesW(Real().c_str(), FILE_ATTRIBUTE_HIDDEN));
    const tomcat::ConnectorPortOutcome outcome = Run(tomcat::ServerXmlPath(HomeText()), "9090");
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(RealContents(), kChangedTo9090);
    EXPECT_TRUE(test::IsSymbolicLink(ServerXml()));
    EXPECT_EQ(Contents(), kChangedTo9090);
    EXPECT_TRUE(GetFileAttributesW(Real().c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(FilesInConf(), 1u);
    EXPECT_EQ(FilesBesideReal(), 1u);
}

TEST_F(LinkedServerXml, AReadOnlyLinkedFileIsLeftAsItWas) {
    ASSERT_TRUE(SetFileAttributesW(Real().c_str(), FILE_ATTRIBUTE_READONLY));
    const tomcat::ConnectorPortOutcome outcome = Run(tomcat::ServerXmlPath(HomeText()), "9090");
    SetFileAttributesW(Real().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(outcome.saved);
    EXPECT_FALSE(outcome.shownPort.has_value());
    EXPECT_EQ(RealContents(), kServerXml);
    EXPECT_TRUE(test::IsSymbolicLink(ServerXml()));
    EXPECT_EQ(FilesBesideReal(), 1u);
}

TEST_F(ServerXmlPortOnWindows, AFileWithASecondNameIsRefusedAndBothNamesKeepTheOldBytes) {
    const fs::path second = Home() / L"server.xml.bak";
    ASSERT_TRUE(CreateHardLinkW(second.c_str(), ServerXml().c_str(), nullptr)) << GetLastError();
    const tomcat::ConnectorPortOutcome outcome = Run(tomcat::ServerXmlPath(HomeText()), "9090");
    EXPECT_TRUE(outcome.refusedHardLink);
    EXPECT_FALSE(outcome.saved);
    EXPECT_FALSE(outcome.shownPort.has_value());
    EXPECT_EQ(Contents(), kServerXml);
    EXPECT_EQ(test::ReadWholeFile(second), kServerXml);
    EXPECT_EQ(FilesInConf(), 1u);
}

TEST_F(ServerXmlPortOnWindows, AnOldTemporaryThatIsALinkGoesAsALinkAndWhatItNamesStays) {
    const fs::path victim = scratch.Path() / L"victim.txt";
    test::CreateFileWithText(victim, "keep");
    const fs::path planted = Home() / L"conf" / L"server.xml.qm-0badf00d.tmp";
    ASSERT_TRUE(test::MakeFileLink(planted, victim));
    const tomcat::ConnectorPortOutcome outcome = Run(tomcat::ServerXmlPath(HomeText()), "9090");
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(Contents(), kChangedTo9090);
    EXPECT_EQ(test::ReadWholeFile(victim), "keep");
    // Wine can only follow such a link, so there it stays.
    if (test::IsSymbolicLink(planted)) test::RemoveFileLink(planted);
}

// --- The replacer on its own ---------------------------------------------------

TEST_F(ServerXmlPortOnWindows, TheRenameFailsThroughAFolderThatIsALinkByNow) {
    // conf as the save looked it up, then swapped for a link to a folder of
    // the same files elsewhere.
    const fs::path elsewhere = scratch.Path() / L"elsewhere";
    test::CreateFileWithText(elsewhere / L"server.xml", kServerXml);
    test::CreateFileWithText(elsewhere / L"new.tmp", "planted");
    const fs::path swapped = Home() / L"swapped";
    ASSERT_TRUE(test::MakeDirectoryLink(swapped, elsewhere));
    const std::string through = win32::Narrow(swapped.wstring());
    EXPECT_FALSE(files.MoveOver(through + "\\new.tmp", through + "\\server.xml").Done());
    test::RemoveDirectoryLink(swapped);
    EXPECT_EQ(test::ReadWholeFile(elsewhere / L"server.xml"), kServerXml);
    EXPECT_TRUE(fs::exists(elsewhere / L"new.tmp"));
}

TEST_F(ServerXmlPortOnWindows, ReplacerRefusesMissingFilesAndDirectories) {
    std::string reason;
    EXPECT_EQ(replacer.Replace(win32::Narrow((Home() / L"conf" / L"absent.xml").wstring()), "x", reason),
              ReplaceOutcome::Failed);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(replacer.Replace(win32::Narrow((Home() / L"conf").wstring()), "x", reason), ReplaceOutcome::Failed);
    EXPECT_EQ(FilesInConf(), 1u);
}

TEST_F(ServerXmlPortOnWindows, FileHeldOpenByAnotherProgramIsLeftWholeAndOurTemporaryIsGone) {
    // Tomcat reading its configuration holds the file without sharing it.
    win32::UniqueFileHandle held(
        CreateFileW(ServerXml().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    std::string reason;
    EXPECT_EQ(replacer.Replace(win32::Narrow(ServerXml().wstring()), "new", reason), ReplaceOutcome::Failed);
    EXPECT_FALSE(reason.empty());
    held.reset();
    EXPECT_EQ(Contents(), kServerXml);
    EXPECT_EQ(OurTemporaryFiles(), 0u);
    EXPECT_EQ(FilesInConf(), 1u);
}

TEST_F(ServerXmlPortOnWindows, ReplacerWritesLargeContentsWhole) {
    const std::string large(3 * 1024 * 1024, 'x');
    std::string reason;
    ASSERT_EQ(replacer.Replace(win32::Narrow(ServerXml().wstring()), large, reason), ReplaceOutcome::Replaced)
        << reason;
    EXPECT_EQ(Contents(), large);
}

}  // namespace
}  // namespace qm
