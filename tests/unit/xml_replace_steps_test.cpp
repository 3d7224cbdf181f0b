// Replacing server.xml whole, step by step, over a file system that can fail
// at any step: whatever fails, the old file is there as it was, and what is
// left beside it is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_replacer.h"

namespace qm::xml {
namespace {

enum class Step { Inspect, Remove, Create, Write, Attributes, Owner, Flush, Move };

struct FakeFile {
    std::string bytes;
    std::string attributes = "normal";
    std::string accessRules = "inherited";
    std::string owner = "the saver";
    bool flushed = false;
    bool readOnly = false;
    unsigned names = 1;
    // The access rules the file had when its first byte was written.
    std::string accessRulesAtFirstWrite{};
};

// Files in memory, by path, and symbolic links from a path to another. Any
// step can be made to fail, or to find the file system without what it would
// keep; the rename can be refused as in use a number of times, or can lose the
// old file as it fails.
class FakeFileSystem final : public FileSystem {
public:
    std::map<std::string, FakeFile> files;
    std::map<std::string, std::string> links;
    std::vector<std::string> directories;
    std::set<Step> failing;
    std::set<Step> unsupported;
    int nameTakenTimes = 0;
    int inUseTimes = 0;
    bool moveLosesTheOriginal = false;
    std::vector<unsigned> pauses;

    static FileStatus Fail() { return {FileOutcome::Failed, 1000}; }
    bool Fails(Step step) const { return failing.contains(step); }

    FileStatus Inspect(const std::string& path, FileFacts& facts) override {
        facts = {};
        if (Fails(Step::Inspect)) return Fail();
        const auto link = links.find(path);
        if (link != links.end()) facts.finalPath = link->second;
        const auto file = files.find(link != links.end() ? link->second : path);
        facts.directory = std::find(directories.begin(), directories.end(), path) != directories.end();
        facts.exists = file != files.end() || facts.directory;
        facts.readOnly = file != files.end() && file->second.readOnly;
        facts.names = file != files.end() ? file->second.names : 1;
        return {};
    }
    std::vector<std::string> NamesIn(const std::string& directory) override {
        std::vector<std::string> names;
        for (const auto& [path, file] : files)
            if (path.starts_with(directory)) names.push_back(path.substr(directory.size()));
        return names;
    }
    FileStatus Remove(const std::string& path) override {
        if (Fails(Step::Remove)) return Fail();
        files.erase(path);
        return {};
    }
    std::unique_ptr<NewFile> CreateNew(const std::string& path, const std::string& model, FileStatus& status) override;
    FileStatus MoveOver(const std::string& from, const std::string& to) override {
        if (inUseTimes > 0) {
            --inUseTimes;
            return {FileOutcome::InUse, 32};
        }
        if (moveLosesTheOriginal) files.erase(to);
        if (Fails(Step::Move) || moveLosesTheOriginal) return Fail();
        files[to] = files.at(from);
        files.erase(from);
        return {};
    }
    void Pause(unsigned milliseconds) override { pauses.push_back(milliseconds); }
};

class FakeNewFile final : public NewFile {
public:
    FakeNewFile(FakeFileSystem& system, std::string path) : system_(system), path_(std::move(path)) {}
    FileStatus Write(std::string_view bytes) override {
        if (system_.Fails(Step::Write)) {
            // A full disk takes half of it first.
            File().bytes.append(bytes.substr(0, bytes.size() / 2));
            return FakeFileSystem::Fail();
        }
        if (File().bytes.empty()) File().accessRulesAtFirstWrite = File().accessRules;
        File().bytes.append(bytes);
        return {};
    }
    FileStatus TakeAttributesOf(const std::string& original) override {
        return Take(Step::Attributes, &FakeFile::attributes, original);
    }
    FileStatus TakeOwnerOf(const std::string& original) override {
        return Take(Step::Owner, &FakeFile::owner, original);
    }
    FileStatus Flush() override {
        if (system_.Fails(Step::Flush)) return FakeFileSystem::Fail();
        File().flushed = true;
        return {};
    }

private:
    FakeFile& File() { return system_.files.at(path_); }
    FileStatus Take(Step step, std::string FakeFile::*part, const std::string& original) {
        if (system_.Fails(step)) return FakeFileSystem::Fail();
        if (system_.unsupported.contains(step)) return {FileOutcome::Unsupported, 50};
        File().*part = system_.files.at(original).*part;
        return {};
    }
    FakeFileSystem& system_;
    std::string path_;
};

std::unique_ptr<NewFile> FakeFileSystem::CreateNew(const std::string& path, const std::string& model,
                                                   FileStatus& status) {
    if (nameTakenTimes > 0) {
        --nameTakenTimes;
        status = {FileOutcome::NameTaken, 80};
        return nullptr;
    }
    if (Fails(Step::Create) || files.contains(path)) {
        status = Fail();
        return nullptr;
    }
    files[path] = FakeFile{};
    files[path].accessRules = files.at(model).accessRules;
    status = {};
    return std::make_unique<FakeNewFile>(*this, path);
}

const std::string kDirectory = "C:\\tomcat6/conf/";
const std::string kPath = kDirectory + "server.xml";

class ReplaceSteps : public ::testing::Test {
protected:
    void SetUp() override {
        FakeFile original;
        original.bytes = "old bytes";
        original.attributes = "hidden archive";
        original.accessRules = "administrators only";
        original.owner = "the installer";
        original.flushed = true;
        files_.files[kPath] = original;
    }

    bool Replace(std::string_view bytes = "new bytes") {
        return replacer_.Replace(kPath, bytes, reason_) == ReplaceOutcome::Replaced;
    }
    std::vector<std::string> Names() { return files_.NamesIn(kDirectory); }
    std::vector<std::string> Leftovers() {
        std::vector<std::string> names = Names();
        std::erase(names, "server.xml");
        return names;
    }
    void ExpectOriginalUntouched() {
        const FakeFile& file = files_.files.at(kPath);
        EXPECT_EQ(file.bytes, "old bytes");
        EXPECT_EQ(file.attributes, "hidden archive");
        EXPECT_EQ(file.accessRules, "administrators only");
        EXPECT_EQ(file.owner, "the installer");
    }
    // A failed step: the reason says which, and nothing but the old file is left.
    void ExpectFailedAt(Step step, std::string_view what) {
        files_.failing = {step};
        EXPECT_FALSE(Replace());
        EXPECT_NE(reason_.find(what), std::string::npos) << reason_;
        EXPECT_NE(reason_.find(kPath), std::string::npos) << reason_;
        ExpectOriginalUntouched();
        EXPECT_EQ(Names(), std::vector<std::string>{"server.xml"});
    }

    FakeFileSystem files_;
    WholeFileReplacer replacer_{files_};
    std::string reason_;
};

// --- A save that works ---------------------------------------------------------

TEST_F(ReplaceSteps, TheNewBytesTakeTheOldFilesPlaceWithItsAttributesAndSecurity) {
    ASSERT_TRUE(Replace()) << reason_;
    const FakeFile& file = files_.files.at(kPath);
    EXPECT_EQ(file.bytes, "new bytes");
    EXPECT_EQ(file.attributes, "hidden archive");
    EXPECT_EQ(file.accessRules, "administrators only");
    EXPECT_EQ(file.owner, "the installer");
    EXPECT_TRUE(file.flushed);
    EXPECT_EQ(Names(), std::vector<std::string>{"server.xml"});
}

TEST_F(ReplaceSteps, TheNewFileHasTheOldOnesAccessRulesBeforeItsFirstByte) {
    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.files.at(kPath).accessRulesAtFirstWrite, "administrators only");
}

TEST_F(ReplaceSteps, ALinkedFileIsReplacedWhereItReallyIsAndTheLinkStays) {
    const std::string realDirectory = "D:\\config\\";
    const std::string real = realDirectory + "tomcat-server.xml";
    files_.files[real] = files_.files.at(kPath);
    files_.files.erase(kPath);
    files_.files[real].attributes = "hidden";
    files_.files[real].accessRules = "the real file's";
    files_.links[kPath] = real;

    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.links.at(kPath), real);
    EXPECT_FALSE(files_.files.contains(kPath));
    const FakeFile& file = files_.files.at(real);
    EXPECT_EQ(file.bytes, "new bytes");
    EXPECT_EQ(file.attributes, "hidden");
    EXPECT_EQ(file.accessRulesAtFirstWrite, "the real file's");
    EXPECT_EQ(files_.NamesIn(realDirectory), std::vector<std::string>{"tomcat-server.xml"});
}

TEST_F(ReplaceSteps, AReadOnlyFileBehindALinkIsRefused) {
    const std::string real = "D:\\config\\server.xml";
    files_.files[real] = files_.files.at(kPath);
    files_.files.erase(kPath);
    files_.files[real].readOnly = true;
    files_.links[kPath] = real;
    EXPECT_FALSE(Replace());
    EXPECT_NE(reason_.find("read-only"), std::string::npos) << reason_;
    EXPECT_EQ(files_.files.at(real).bytes, "old bytes");
    EXPECT_EQ(files_.files.size(), 1u);
}

TEST_F(ReplaceSteps, AFileWithOtherNamesIsRefusedAsSuchAndNothingIsWritten) {
    files_.files[kPath].names = 2;
    EXPECT_EQ(replacer_.Replace(kPath, "new bytes", reason_), ReplaceOutcome::HasOtherNames);
    EXPECT_NE(reason_.find("hard links"), std::string::npos) << reason_;
    ExpectOriginalUntouched();
    EXPECT_EQ(Names(), std::vector<std::string>{"server.xml"});
}

TEST_F(ReplaceSteps, AnOwnerThatCannotBeGivenDoesNotStopTheSave) {
    files_.failing = {Step::Owner};
    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.files.at(kPath).bytes, "new bytes");
    EXPECT_EQ(files_.files.at(kPath).accessRules, "administrators only");
    EXPECT_EQ(files_.files.at(kPath).owner, "the saver");
}

TEST_F(ReplaceSteps, AFileSystemWithoutAttributesOrSecuritySavesAllTheSame) {
    files_.unsupported = {Step::Attributes, Step::Owner};
    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.files.at(kPath).bytes, "new bytes");
    EXPECT_EQ(Names(), std::vector<std::string>{"server.xml"});
}

TEST_F(ReplaceSteps, ANameAlreadyTakenIsPassedOver) {
    files_.nameTakenTimes = 3;
    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.files.at(kPath).bytes, "new bytes");
}

TEST_F(ReplaceSteps, ARenameBlockedForAMomentIsTriedAgain) {
    files_.inUseTimes = 3;
    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.files.at(kPath).bytes, "new bytes");
    EXPECT_EQ(files_.pauses.size(), 3u);
}

// --- What is refused before anything is written --------------------------------

TEST_F(ReplaceSteps, AMissingFileIsNotCreated) {
    files_.files.clear();
    EXPECT_FALSE(Replace());
    EXPECT_TRUE(files_.files.empty());
}

TEST_F(ReplaceSteps, ADirectoryIsRefused) {
    files_.files.clear();
    files_.directories.push_back(kPath);
    EXPECT_FALSE(Replace());
    EXPECT_NE(reason_.find("directory"), std::string::npos) << reason_;
    EXPECT_TRUE(files_.files.empty());
}

TEST_F(ReplaceSteps, AReadOnlyFileIsRefusedAndNothingElseIsTouched) {
    files_.files[kPath].readOnly = true;
    files_.files[kPath + ".qm-0123abcd.tmp"] = FakeFile{};
    EXPECT_FALSE(Replace());
    EXPECT_NE(reason_.find("read-only"), std::string::npos) << reason_;
    ExpectOriginalUntouched();
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"server.xml.qm-0123abcd.tmp"});
}

// --- Each step that fails --------------------------------------------------------

TEST_F(ReplaceSteps, InspectingTheOldFileFails) { ExpectFailedAt(Step::Inspect, "cannot read the attributes"); }
TEST_F(ReplaceSteps, CreatingTheNewFileFails) { ExpectFailedAt(Step::Create, "cannot create a new file beside"); }
TEST_F(ReplaceSteps, WritingFails) { ExpectFailedAt(Step::Write, "cannot write"); }
TEST_F(ReplaceSteps, KeepingTheAttributesFails) { ExpectFailedAt(Step::Attributes, "cannot keep the attributes"); }
TEST_F(ReplaceSteps, FlushingFails) { ExpectFailedAt(Step::Flush, "cannot flush"); }
TEST_F(ReplaceSteps, RenamingFails) { ExpectFailedAt(Step::Move, "cannot put the new contents in place"); }

TEST_F(ReplaceSteps, ARenameThatStaysBlockedIsGivenUpAfterASecond) {
    files_.inUseTimes = 1000;
    EXPECT_FALSE(Replace());
    ExpectOriginalUntouched();
    EXPECT_EQ(Names(), std::vector<std::string>{"server.xml"});
    unsigned waited = 0;
    for (unsigned pause : files_.pauses) waited += pause;
    EXPECT_GE(waited, 900u);
    EXPECT_LE(waited, 1100u);
}

TEST_F(ReplaceSteps, WhenAFailedRenameLostTheOldFileTheNewOneIsKeptAndNamed) {
    files_.moveLosesTheOriginal = true;
    EXPECT_FALSE(Replace());
    EXPECT_FALSE(files_.files.contains(kPath));
    const std::vector<std::string> left = Leftovers();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(files_.files.at(kDirectory + left[0]).bytes, "new bytes");
    EXPECT_NE(reason_.find("the new contents are in " + kDirectory + left[0]), std::string::npos) << reason_;
}

TEST_F(ReplaceSteps, ANewFileThatCannotBeRemovedIsLeftAndTheNextSaveRemovesIt) {
    files_.failing = {Step::Write, Step::Remove};
    EXPECT_FALSE(Replace());
    ExpectOriginalUntouched();
    EXPECT_EQ(Leftovers().size(), 1u);
    files_.failing.clear();
    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.files.at(kPath).bytes, "new bytes");
    EXPECT_TRUE(Leftovers().empty());
}

// --- What an interrupted save left --------------------------------------------

TEST_F(ReplaceSteps, ALeftoverThatCannotBeRemovedDoesNotStopTheSave) {
    files_.files[kPath + ".qm-0123abcd.tmp"] = FakeFile{"cut short"};
    files_.failing = {Step::Remove};
    ASSERT_TRUE(Replace()) << reason_;
    EXPECT_EQ(files_.files.at(kPath).bytes, "new bytes");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{"server.xml.qm-0123abcd.tmp"});
}

TEST_F(ReplaceSteps, OnlyTheNewFilesOfAnInterruptedSaveOfThisFileAreRemoved) {
    const std::vector<std::string> ours = {"server.xml.qm-0123abcd.tmp", "SERVER.XML.qm-ffffffff.tmp"};
    const std::vector<std::string> others = {"server.xml.bak",
                                             "qm12AB.tmp",
                                             "web.xml.qm-0123abcd.tmp",
                                             "server.xml.qm-0123abc.tmp",
                                             "server.xml.qm-0123ABCD.tmp",
                                             "server.xml.qm-0123abcd.tmp.txt"};
    for (const std::string& name : ours) files_.files[kDirectory + name] = FakeFile{"cut short"};
    for (const std::string& name : others) files_.files[kDirectory + name] = FakeFile{"someone else's"};
    ASSERT_TRUE(Replace()) << reason_;
    std::vector<std::string> expected = others;
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> left = Leftovers();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, expected);
}

TEST(ReplacementNames, FollowTheOriginalsName) {
    EXPECT_TRUE(IsReplacementOf("server.xml.qm-0123abcd.tmp", "server.xml"));
    EXPECT_TRUE(IsReplacementOf("Server.XML.qm-00000000.tmp", "server.xml"));
    EXPECT_FALSE(IsReplacementOf("server.xml.qm-0123abcd.tmp", "web.xml"));
    EXPECT_FALSE(IsReplacementOf("server.xml.qm-0123abcg.tmp", "server.xml"));
    EXPECT_FALSE(IsReplacementOf("server.xml.qm-0123abcd.TMP", "server.xml"));
    EXPECT_FALSE(IsReplacementOf("server.xml", "server.xml"));
}

}  // namespace
}  // namespace qm::xml
