#include "diagnosis/diagnose.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace qm::diagnosis {
namespace {

using namespace std::chrono_literals;
using test::FakeMachine;
using test::OnlyRow;
using test::RowsOf;
using ::testing::HasSubstr;

// Where a read waits until the test lets it go, as a read of a pipe that
// nobody writes to waits for ever.
class Gate {
public:
    void Open() {
        const std::lock_guard hold(lock_);
        open_ = true;
        opened_.notify_all();
    }
    void Pass() {
        std::unique_lock hold(lock_);
        opened_.wait(hold, [&] { return open_; });
    }

private:
    std::mutex lock_;
    std::condition_variable opened_;
    bool open_ = false;
};

// The machine's files, with one path whose read waits at the gate.
class GatedFiles final : public FileInspector {
public:
    GatedFiles(FileInspector& files, std::string gated, std::shared_ptr<Gate> gate)
        : files_(files), gated_(std::move(gated)), gate_(std::move(gate)) {}
    bool IsDirectory(std::string_view path) override { return files_.IsDirectory(path); }
    bool IsFile(std::string_view path) override { return files_.IsFile(path); }
    bool Exists(std::string_view path) override { return files_.Exists(path); }
    std::optional<std::string> ReadHead(std::string_view path, std::size_t maxBytes) override {
        if (path == gated_) gate_->Pass();
        return files_.ReadHead(path, maxBytes);
    }
    std::optional<std::string> ReadTail(std::string_view path, std::size_t maxBytes) override {
        return files_.ReadTail(path, maxBytes);
    }
    std::optional<std::vector<DirectoryItem>> List(std::string_view directory) override {
        return files_.List(directory);
    }
    std::optional<LocalTime> ToLocalTime(std::uint64_t lastWriteTime) override {
        return files_.ToLocalTime(lastWriteTime);
    }

private:
    FileInspector& files_;
    std::string gated_;
    std::shared_ptr<Gate> gate_;
};

// One opening of the test's machine, which lives as long as any opening
// does: also one left behind with a check that waits.
class OpenedMachine final : public Machine {
public:
    explicit OpenedMachine(std::shared_ptr<FakeMachine> machine, std::string gated = {},
                           std::shared_ptr<Gate> gate = std::make_shared<Gate>())
        : machine_(std::move(machine)), files_(machine_->files, std::move(gated), std::move(gate)) {}
    Inspectors View() override {
        FakeMachine& m = *machine_;
        return {m.environment, m.registry, files_,      m.services,  m.network,  m.processes,
                m.rights,      m.instances, m.datagrams, m.connector, m.messages};
    }

private:
    std::shared_ptr<FakeMachine> machine_;
    GatedFiles files_;
};

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds bound = 10s) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(DiagnoseWithin, GivesWhatDiagnoseGivesWhenEveryGroupFinishes) {
    const auto machine = std::make_shared<FakeMachine>();
    int opened = 0;
    const auto rows = DiagnoseWithin(
        [&] {
            ++opened;
            return std::make_unique<OpenedMachine>(machine);
        },
        30s);
    EXPECT_EQ(rows, machine->Diagnose());
    EXPECT_EQ(opened, 1);
}

TEST(DiagnoseWithin, GivesUpAGroupPastItsBoundNamingTheFileAndGoesOnWithNewViews) {
    const auto machine = std::make_shared<FakeMachine>();
    const auto gate = std::make_shared<Gate>();
    const std::string release = machine->javaHome + "\\release";
    int opened = 0;
    const auto rows = DiagnoseWithin(
        [&] {
            ++opened;
            return std::make_unique<OpenedMachine>(machine, release, gate);
        },
        1s);
    gate->Open();

    const Row givenUp = OnlyRow(rows, "Java 检查");
    EXPECT_EQ(givenUp.group, Group::Java);
    EXPECT_EQ(givenUp.status, Status::Notice);
    EXPECT_THAT(givenUp.explanation, HasSubstr("无法完成检查：超过 1 秒没有结果"));
    EXPECT_THAT(givenUp.explanation, HasSubstr("读取 " + release + " 没有返回"));
    EXPECT_TRUE(RowsOf(rows, "JAVA_HOME").empty());
    EXPECT_EQ(rows.front(), givenUp);
    // The groups after it ran in full, on views opened for them.
    EXPECT_EQ(OnlyRow(rows, "CATALINA_HOME").status, Status::Ok);
    EXPECT_EQ(OnlyRow(rows, "管理员权限").status, Status::Ok);
    // The service runs this same Java, so its settings group waits at the
    // same read and is given up too, each on views of its own.
    EXPECT_THAT(OnlyRow(rows, "服务设置 检查").explanation, HasSubstr("读取 " + release + " 没有返回"));
    EXPECT_EQ(opened, 3);
    // The check left behind ends once its read returns, and lets go of its views.
    EXPECT_TRUE(WaitUntil([&] { return machine.use_count() == 1; }));
}

TEST(DiagnoseWithin, PassesOnWhatAGroupThrows) {
    class ThrowingRights final : public RightsInspector {
    public:
        std::optional<bool> IsElevated() override { throw std::runtime_error("无法读取"); }
    };
    const auto machine = std::make_shared<FakeMachine>();
    ThrowingRights rights;
    class Opened final : public Machine {
    public:
        Opened(FakeMachine& m, RightsInspector& rights) : m_(m), rights_(rights) {}
        Inspectors View() override {
            return {m_.environment, m_.registry,  m_.files,     m_.services,  m_.network,  m_.processes,
                    rights_,        m_.instances, m_.datagrams, m_.connector, m_.messages};
        }

    private:
        FakeMachine& m_;
        RightsInspector& rights_;
    };
    EXPECT_THROW(DiagnoseWithin([&] { return std::make_unique<Opened>(*machine, rights); }, 30s), std::runtime_error);
}

}  // namespace
}  // namespace qm::diagnosis
