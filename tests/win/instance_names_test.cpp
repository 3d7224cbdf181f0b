#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/instance_names_win.h"
#include "sqlserver/instance_names.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qm::sqlserver {
namespace {

using win32::RegistryInstanceNames;

// A value as an installation writes it; its data plays no part.
void SetInstanceValue(HKEY key, const std::string& name) {
    const std::wstring data = L"MSSQL.1";
    EXPECT_EQ(RegSetValueExW(key, win32::Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// A key below HKEY_LOCAL_MACHINE that this test made and deletes again.
class TestKey {
public:
    explicit TestKey(std::string path) : path_(std::move(path)) {
        HKEY created = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(path_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        key_.reset(created);
    }
    ~TestKey() {
        key_.reset();
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, win32::Widen(path_).c_str());
    }

    void SetValue(const std::string& name) { SetInstanceValue(key_.get(), name); }

    // Nobody may set values on the key any more, as for a user who is no administrator.
    void DenySettingValues() {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)",
                                                                         SDDL_REVISION_1, &descriptor, nullptr));
        EXPECT_EQ(RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
        LocalFree(descriptor);
    }

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    win32::UniqueRegistryKey key_;
};

bool KeyExists(const std::wstring& path, REGSAM view) {
    HKEY opened = nullptr;
    const bool exists = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &opened) == ERROR_SUCCESS;
    const win32::UniqueRegistryKey closing(opened);
    return exists;
}

// The values one test adds to the real instance key in one view of the
// registry, removed after it, with whatever part of the key's path this made.
class ValuesOnTheInstanceKey {
public:
    explicit ValuesOnTheInstanceKey(REGSAM view = KEY_WOW64_64KEY) : view_(view) {
        const std::wstring path = win32::Widen(kInstanceNamesKeyPath);
        for (std::size_t end = path.find(L'\\'); end != std::wstring::npos;) {
            end = path.find(L'\\', end + 1);
            const std::wstring ancestor = path.substr(0, end);
            if (!KeyExists(ancestor, view_)) created_.push_back(ancestor);
        }
        HKEY created = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                                  &created, nullptr),
                  ERROR_SUCCESS);
        key_.reset(created);
    }
    ~ValuesOnTheInstanceKey() {
        for (const std::string& name : names_) RegDeleteValueW(key_.get(), win32::Widen(name).c_str());
        key_.reset();
        // Only the keys this made, deepest first.
        for (auto made = created_.rbegin(); made != created_.rend(); ++made)
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, made->c_str(), view_, 0);
    }

    void Add(const std::string& name) {
        SetInstanceValue(key_.get(), name);
        names_.push_back(name);
    }

private:
    REGSAM view_;
    win32::UniqueRegistryKey key_;
    std::vector<std::wstring> created_;  // the keys of the path that this made, outermost first
    std::vector<std::string> names_;
};

std::string UniqueSuffix() { return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64()); }

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(RegistryInstanceNames, ListsEveryValueNameOfTheInstanceKey) {
    const std::string suffix = UniqueSuffix();
    const std::vector<std::string> added = {"QMTEST" + suffix, "QmTest-" + suffix + "-EXPRESS", "报表" + suffix};
    ValuesOnTheInstanceKey values;
    for (const std::string& name : added) values.Add(name);

    const std::optional<std::vector<std::string>> names =
        RegistryInstanceNames().ReadInstanceNames(RegistryView::Native);

    ASSERT_TRUE(names);
    // Wine enumerates names sorted, Windows in creation order: only membership counts.
    for (const std::string& name : added) EXPECT_TRUE(Contains(*names, name)) << name;
}

TEST(RegistryInstanceNames, ListsAnInstanceRegisteredOnlyInThe32BitView) {
    const std::string name = "QM32-" + UniqueSuffix();
    ValuesOnTheInstanceKey values(KEY_WOW64_32KEY);
    values.Add(name);

    RegistryInstanceNames registry;
    const std::optional<std::vector<std::string>> native = registry.ReadInstanceNames(RegistryView::Native);
    EXPECT_FALSE(native && Contains(*native, name)) << "the two views are one here";
    EXPECT_TRUE(Contains(ReadInstanceList(registry), name));
}

TEST(RegistryInstanceNames, ListsADefaultValueAsAnEmptyName) {
    TestKey key("SOFTWARE\\Quillmate test instance names " + UniqueSuffix());
    key.SetValue("");
    key.SetValue("SQLEXPRESS");
    const std::optional<std::vector<std::string>> names =
        RegistryInstanceNames(key.Path()).ReadInstanceNames(RegistryView::Native);
    ASSERT_TRUE(names);
    std::vector<std::string> sorted = *names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"", "SQLEXPRESS"}));
}

TEST(RegistryInstanceNames, ListsAKeyThatMayOnlyBeRead) {
    TestKey key("SOFTWARE\\Quillmate test instance names " + UniqueSuffix());
    key.SetValue("SQLEXPRESS");
    key.DenySettingValues();
    HKEY writable = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(key.Path()).c_str(), 0, KEY_ALL_ACCESS, &writable),
              ERROR_SUCCESS)
        << "the deny entry is not enforced here";
    EXPECT_EQ(RegistryInstanceNames(key.Path()).ReadInstanceNames(RegistryView::Native),
              (std::vector<std::string>{"SQLEXPRESS"}));
}

TEST(RegistryInstanceNames, GivesAnEmptyListForAKeyWithoutValues) {
    TestKey key("SOFTWARE\\Quillmate test instance names " + UniqueSuffix());
    const std::optional<std::vector<std::string>> names =
        RegistryInstanceNames(key.Path()).ReadInstanceNames(RegistryView::Native);
    ASSERT_TRUE(names);
    EXPECT_TRUE(names->empty());
}

TEST(RegistryInstanceNames, GivesNothingForAMissingKeyAndDoesNotCreateIt) {
    const std::string path = "SOFTWARE\\Quillmate test missing key " + UniqueSuffix();
    EXPECT_EQ(RegistryInstanceNames(path).ReadInstanceNames(RegistryView::Native), std::nullopt);
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(path).c_str(), 0, KEY_READ, &opened),
              ERROR_FILE_NOT_FOUND);
    win32::UniqueRegistryKey closing(opened);
}

TEST(RegistryInstanceNames, ReadsNamesLongerThanTheUsualBuffer) {
    TestKey key("SOFTWARE\\Quillmate test instance names " + UniqueSuffix());
    const std::string longName(300, 'N');
    key.SetValue(longName);
    const std::optional<std::vector<std::string>> names =
        RegistryInstanceNames(key.Path()).ReadInstanceNames(RegistryView::Native);
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string>{longName}));
}

}  // namespace
}  // namespace qm::sqlserver
