#include "sqlserver/instance_names.h"

#include <gtest/gtest.h>

namespace qm::sqlserver {
namespace {

using Names = std::optional<std::vector<std::string>>;

// The two views of the registry, each with its own names or none at all.
class ListedNames final : public InstanceNameSource {
public:
    ListedNames(Names native, Names wow32) : native_(std::move(native)), wow32_(std::move(wow32)) {}
    Names ReadInstanceNames(RegistryView view) override { return view == RegistryView::Native ? native_ : wow32_; }

private:
    Names native_;
    Names wow32_;
};

TEST(ReadInstanceList, KeepsTheRegistrysOrderAndAnEmptyDefaultValueName) {
    ListedNames source({{"", "SQLEXPRESS", "MSSQLSERVER", "报表"}}, std::nullopt);
    EXPECT_EQ(ReadInstanceList(source), (std::vector<std::string>{"", "SQLEXPRESS", "MSSQLSERVER", "报表"}));
}

TEST(ReadInstanceList, IsEmptyWhenTheKeyDidNotOpenInEitherView) {
    ListedNames source(std::nullopt, std::nullopt);
    EXPECT_TRUE(ReadInstanceList(source).empty());
}

TEST(ReadInstanceList, ListsThe32BitViewAfterTheNativeOneLeavingOutNamesAlreadyListed) {
    ListedNames source({{"MSSQLSERVER", "SQLEXPRESS"}}, {{"SQL2005", "MSSQLSERVER", "ALPHA"}});
    EXPECT_EQ(ReadInstanceList(source), (std::vector<std::string>{"MSSQLSERVER", "SQLEXPRESS", "SQL2005", "ALPHA"}));
}

TEST(ReadInstanceList, ListsThe32BitViewAloneWhenTheNativeKeyDidNotOpen) {
    ListedNames source(std::nullopt, {{"SQL2005", "ALPHA"}});
    EXPECT_EQ(ReadInstanceList(source), (std::vector<std::string>{"SQL2005", "ALPHA"}));
}

TEST(ServiceNameOf, KeepsTheDefaultInstanceAndPrefixesNamedOnes) {
    EXPECT_EQ(ServiceNameOf("MSSQLSERVER"), "MSSQLSERVER");
    EXPECT_EQ(ServiceNameOf("SQLEXPRESS"), "MSSQL$SQLEXPRESS");
    // Exact and case-sensitive, as the registry gives the name.
    EXPECT_EQ(ServiceNameOf("mssqlserver"), "MSSQL$mssqlserver");
    EXPECT_EQ(ServiceNameOf("MSSQLSERVER "), "MSSQL$MSSQLSERVER ");
    EXPECT_EQ(ServiceNameOf("报表"), "MSSQL$报表");
}

}  // namespace
}  // namespace qm::sqlserver
