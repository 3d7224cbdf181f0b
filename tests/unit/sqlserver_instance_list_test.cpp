#include "sqlserver/instance_names.h"

#include <gtest/gtest.h>

namespace qm::sqlserver {
namespace {

class ListedNames final : public InstanceNameSource {
public:
    explicit ListedNames(std::optional<std::vector<std::string>> names) : names_(std::move(names)) {}
    std::optional<std::vector<std::string>> ReadInstanceNames() override { return names_; }

private:
    std::optional<std::vector<std::string>> names_;
};

TEST(ReadInstanceList, KeepsTheRegistrysOrderAndAnEmptyDefaultValueName) {
    ListedNames source({{"", "SQLEXPRESS", "MSSQLSERVER", "报表"}});
    EXPECT_EQ(ReadInstanceList(source), (std::vector<std::string>{"", "SQLEXPRESS", "MSSQLSERVER", "报表"}));
}

TEST(ReadInstanceList, IsEmptyWhenTheKeyDidNotOpen) {
    ListedNames source(std::nullopt);
    EXPECT_TRUE(ReadInstanceList(source).empty());
}

}  // namespace
}  // namespace qm::sqlserver
