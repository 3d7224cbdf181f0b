// The file inspector against the prefix's C: drive: attributes, heads and
// tails of files, also of one held open for writing, and directory listings.
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "support/lib/processes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>

namespace qm {
namespace {

class FileInspectorTest : public ::testing::Test {
protected:
    void SetUp() override { test::CreateFileWithText(scratch.Path() / L"logs" / L"日志.txt", "0123456789"); }
    std::string Text(const wchar_t* relative) const { return scratch.Text(relative); }

    test::ScratchDirectory scratch;
    win32::Win32FileInspector files;
};

TEST_F(FileInspectorTest, TellsDirectoriesFromFilesAndMissingPathsFromBoth) {
    EXPECT_TRUE(files.IsDirectory(Text(L"logs")));
    EXPECT_FALSE(files.IsFile(Text(L"logs")));
    EXPECT_TRUE(files.IsFile(Text(L"logs\\日志.txt")));
    EXPECT_FALSE(files.IsDirectory(Text(L"logs\\日志.txt")));
    EXPECT_FALSE(files.IsFile(Text(L"missing.txt")));
    EXPECT_FALSE(files.IsDirectory(Text(L"missing")));
}

TEST_F(FileInspectorTest, ReadsTheHeadAndTheTailUpToTheAskedSize) {
    EXPECT_EQ(files.ReadHead(Text(L"logs\\日志.txt"), 4), std::optional<std::string>("0123"));
    EXPECT_EQ(files.ReadTail(Text(L"logs\\日志.txt"), 4), std::optional<std::string>("6789"));
    EXPECT_EQ(files.ReadHead(Text(L"logs\\日志.txt"), 100), std::optional<std::string>("0123456789"));
    EXPECT_EQ(files.ReadTail(Text(L"logs\\日志.txt"), 100), std::optional<std::string>("0123456789"));
    EXPECT_EQ(files.ReadHead(Text(L"missing.txt"), 4), std::nullopt);
    EXPECT_EQ(files.ReadTail(Text(L"missing.txt"), 4), std::nullopt);
}

// A log that Tomcat is writing: its writer lets others read but only while
// they let it go on writing.
TEST_F(FileInspectorTest, ReadsAFileThatAnotherHandleHoldsOpenForWriting) {
    const win32::UniqueFileHandle writer(CreateFileW((scratch.Path() / L"logs" / L"日志.txt").c_str(), GENERIC_WRITE,
                                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                     nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ(files.ReadTail(Text(L"logs\\日志.txt"), 3), std::optional<std::string>("789"));
}

TEST_F(FileInspectorTest, ListsEntriesWithTheirKindAndLastWriteTime) {
    std::filesystem::create_directories(scratch.Path() / L"logs" / L"old");
    FILETIME written{0x12345678, 0x01D00000};
    {
        const win32::UniqueFileHandle file(CreateFileW((scratch.Path() / L"logs" / L"日志.txt").c_str(),
                                                       FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &written));
    }
    const auto items = files.List(Text(L"logs"));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    const auto log = std::find_if(items->begin(), items->end(), [](const DirectoryItem& i) { return !i.directory; });
    ASSERT_NE(log, items->end());
    EXPECT_EQ(log->name, "日志.txt");
    // Wine keeps the time to the 100 ns tick only as far as Linux does: compare to the microsecond.
    const std::uint64_t expected = (std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
    EXPECT_EQ(log->lastWriteTime / 10, expected / 10);
    const auto old = std::find_if(items->begin(), items->end(), [](const DirectoryItem& i) { return i.directory; });
    ASSERT_NE(old, items->end());
    EXPECT_EQ(old->name, "old");
    EXPECT_EQ(files.List(Text(L"missing")), std::nullopt);
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// The header the diagnosis reads the bitness from: Machine in the PE file header.
std::uint16_t MachineOf(const std::string& head) {
    const auto peOffset = static_cast<unsigned char>(head.at(0x3C)) | static_cast<unsigned char>(head.at(0x3D)) << 8;
    return static_cast<std::uint16_t>(static_cast<unsigned char>(head.at(peOffset + 4)) |
                                      static_cast<unsigned char>(head.at(peOffset + 5)) << 8);
}

TEST(FileInspectorOnPrograms, ReadsTheHeadersOfA32And64BitProgram) {
    win32::Win32FileInspector files;
    const auto pe32 = files.ReadHead(win32::Narrow(test::SiblingProgramPath(L"qm_pe32.exe")), 4096);
    const auto pe64 = files.ReadHead(win32::Narrow(test::SiblingProgramPath(L"qm_sleeper.exe")), 4096);
    ASSERT_TRUE(pe32 && pe64);
    EXPECT_EQ(MachineOf(*pe32), IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(MachineOf(*pe64), IMAGE_FILE_MACHINE_AMD64);
}

// A path that leads to a named pipe: its server learns who reads, but is
// refused acting as them. Wine 8 gives every pipe server the impersonation
// level whatever the client asked (tests/wine/NOTES.md), so this shows only
// on Windows.
TEST(FileInspectorPipe, LetsAPipeServerIdentifyTheReaderButNotActAsThem) {
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "Wine ignores the quality of service a pipe client asks for";
    const std::wstring name = L"\\\\.\\pipe\\qm-file-inspector-" + std::to_wstring(GetCurrentProcessId());
    const win32::UniqueFileHandle pipe(
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(pipe);
    std::optional<SECURITY_IMPERSONATION_LEVEL> level;
    std::thread server([&] {
        if (!ConnectNamedPipe(pipe.get(), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
        DWORD written = 0;
        WriteFile(pipe.get(), "JAVA_VERSION=\"1.6\"\n", 19, &written, nullptr);
        if (ImpersonateNamedPipeClient(pipe.get())) {
            HANDLE token = nullptr;
            if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
                const win32::UniqueKernelHandle owned(token);
                SECURITY_IMPERSONATION_LEVEL seen{};
                DWORD size = 0;
                if (GetTokenInformation(token, TokenImpersonationLevel, &seen, sizeof seen, &size)) level = seen;
            }
            RevertToSelf();
        }
        DisconnectNamedPipe(pipe.get());
    });
    win32::Win32FileInspector files;
    // The server goes once it has looked, and the read ends with the pipe.
    files.ReadHead(win32::Narrow(name), 100);
    // Had the inspector not reached the pipe, the server would still wait for
    // a client: one that asks nothing special lets it finish.
    const win32::UniqueFileHandle plainClient(
        CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    server.join();
    ASSERT_TRUE(level.has_value());
    EXPECT_EQ(*level, SecurityIdentification);
}

}  // namespace
}  // namespace qm
