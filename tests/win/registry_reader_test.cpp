// The registry reader against values of the test's own below
// HKEY_LOCAL_MACHINE\SOFTWARE, written differently in the 64-bit and the
// 32-bit view.
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/unique_handle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace qm {
namespace {

const std::wstring kKey = L"SOFTWARE\\QuillmateTest-" + std::to_wstring(GetCurrentProcessId());
const std::string kKeyText(kKey.begin(), kKey.end());

REGSAM ViewFlag(RegistryView view) { return view == RegistryView::Native ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

void WriteString(RegistryView view, const wchar_t* name, DWORD type, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewFlag(view), nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const win32::UniqueRegistryKey owned(key);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void WriteDword(RegistryView view, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | ViewFlag(view), nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const win32::UniqueRegistryKey owned(key);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
}

bool KeyExists(RegistryView view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ | ViewFlag(view), &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class RegistryReaderTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (RegistryView view : {RegistryView::Native, RegistryView::Wow32})
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), ViewFlag(view), 0);
    }
    win32::Win32RegistryReader registry;
};

TEST_F(RegistryReaderTest, ReadsEachViewsOwnValues) {
    WriteString(RegistryView::Native, L"Path", REG_SZ, L"C:\\Program Files\\服务");
    WriteString(RegistryView::Wow32, L"Path", REG_SZ, L"C:\\Program Files (x86)\\服务");
    WriteDword(RegistryView::Native, L"Enabled", 1);
    WriteDword(RegistryView::Wow32, L"Enabled", 0);
    EXPECT_EQ(registry.ReadString(kKeyText, "Path", RegistryView::Native),
              std::optional<std::string>("C:\\Program Files\\服务"));
    EXPECT_EQ(registry.ReadString(kKeyText, "Path", RegistryView::Wow32),
              std::optional<std::string>("C:\\Program Files (x86)\\服务"));
    EXPECT_EQ(registry.ReadDword(kKeyText, "Enabled", RegistryView::Native), std::optional<std::uint32_t>(1));
    EXPECT_EQ(registry.ReadDword(kKeyText, "Enabled", RegistryView::Wow32), std::optional<std::uint32_t>(0));
}

TEST_F(RegistryReaderTest, ReadsAnExpandableStringAsStored) {
    WriteString(RegistryView::Native, L"Home", REG_EXPAND_SZ, L"%SystemDrive%\\jdk");
    EXPECT_EQ(registry.ReadString(kKeyText, "Home", RegistryView::Native),
              std::optional<std::string>("%SystemDrive%\\jdk"));
}

TEST_F(RegistryReaderTest, GivesNothingForAnotherTypeAMissingValueOrAMissingKey) {
    WriteDword(RegistryView::Native, L"Number", 7);
    WriteString(RegistryView::Native, L"Text", REG_SZ, L"7");
    EXPECT_EQ(registry.ReadString(kKeyText, "Number", RegistryView::Native), std::nullopt);
    EXPECT_EQ(registry.ReadDword(kKeyText, "Text", RegistryView::Native), std::nullopt);
    EXPECT_EQ(registry.ReadString(kKeyText, "Missing", RegistryView::Native), std::nullopt);
    EXPECT_EQ(registry.ReadDword(kKeyText, "Number", RegistryView::Wow32), std::nullopt);
}

TEST_F(RegistryReaderTest, ReadsTheStringsOfAMultiStringValue) {
    // Empty strings between are dropped; the list's own end is two NULs.
    WriteString(RegistryView::Wow32, L"Options", REG_MULTI_SZ,
                std::wstring(L"-Dcatalina.home=C:\\服务器\0\0-Xss512k\0", 33));
    WriteString(RegistryView::Native, L"Options", REG_SZ, L"-Xmx256m");
    EXPECT_EQ(registry.ReadMultiString(kKeyText, "Options", RegistryView::Wow32),
              std::optional<std::vector<std::string>>({"-Dcatalina.home=C:\\服务器", "-Xss512k"}));
    EXPECT_EQ(registry.ReadMultiString(kKeyText, "Options", RegistryView::Native), std::nullopt);
}

TEST_F(RegistryReaderTest, TellsWhetherAKeyExistsInEachView) {
    WriteDword(RegistryView::Wow32, L"Enabled", 1);
    EXPECT_TRUE(registry.KeyExists(kKeyText, RegistryView::Wow32));
    EXPECT_FALSE(registry.KeyExists(kKeyText, RegistryView::Native));
    EXPECT_FALSE(registry.KeyExists(kKeyText + "\\Java", RegistryView::Wow32));
}

TEST_F(RegistryReaderTest, CreatesNoKeyItLooksFor) {
    EXPECT_EQ(registry.ReadString(kKeyText, "Path", RegistryView::Native), std::nullopt);
    EXPECT_EQ(registry.ReadDword(kKeyText, "Enabled", RegistryView::Wow32), std::nullopt);
    EXPECT_EQ(registry.ReadMultiString(kKeyText, "Options", RegistryView::Wow32), std::nullopt);
    EXPECT_FALSE(registry.KeyExists(kKeyText, RegistryView::Native));
    EXPECT_FALSE(KeyExists(RegistryView::Native));
    EXPECT_FALSE(KeyExists(RegistryView::Wow32));
}

}  // namespace
}  // namespace qm
