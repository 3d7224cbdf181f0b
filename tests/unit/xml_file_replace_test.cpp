// Loading and saving by path, and the atomic replace behind saving: the
// original survives every failure, and a read-only file is never written.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "unit/fake_files.h"
#include "unit/posix_file_system.h"
#include "platform/file_replacer.h"
#include "xml/xml_file.h"

namespace qm::xml {
namespace {

namespace fs = std::filesystem;

class XmlFileReplace : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() /
                     ("qm-xml-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(directory_);
        fs::create_directories(directory_);
        path_ = (directory_ / "server.xml").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(directory_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(directory_, ignored);
    }

    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t FilesInDirectory() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory_), fs::directory_iterator()));
    }

    fs::path directory_;
    std::string path_;
    test::PosixFileSystem files_;
    WholeFileReplacer replacer_{files_};
};

TEST_F(XmlFileReplace, ReplacesTheContentsAndKeepsThePermissions) {
    Write("old");
    ::chmod(path_.c_str(), 0640);
    std::string reason;
    ASSERT_EQ(replacer_.Replace(path_, "new contents", reason), ReplaceOutcome::Replaced) << reason;
    EXPECT_EQ(Read(), "new contents");
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FilesInDirectory(), 1u);
}

TEST_F(XmlFileReplace, AReadOnlyFileIsLeftUntouched) {
    Write("original");
    ::chmod(path_.c_str(), 0444);
    std::string reason;
    EXPECT_EQ(replacer_.Replace(path_, "new", reason), ReplaceOutcome::Failed);
    EXPECT_NE(reason.find("read-only"), std::string::npos) << reason;
    EXPECT_EQ(Read(), "original");
    EXPECT_EQ(FilesInDirectory(), 1u);
}

TEST_F(XmlFileReplace, WhenWritingFailsTheOriginalIsIntactAndNoTemporaryFileRemains) {
    Write("original");
    // A file size limit makes the write itself fail, also for root, to whom
    // permission bits mean nothing.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string reason;
    const ReplaceOutcome replaced = replacer_.Replace(path_, std::string(4096, 'x'), reason);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(replaced, ReplaceOutcome::Failed);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(Read(), "original");
    EXPECT_EQ(FilesInDirectory(), 1u);
}

TEST_F(XmlFileReplace, ASymbolicLinkIsFollowedAndStaysALink) {
    const fs::path real = directory_ / "real" / "server.xml";
    fs::create_directories(real.parent_path());
    std::ofstream(real, std::ios::binary) << "old";
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, path_);
    std::string reason;
    ASSERT_EQ(replacer_.Replace(path_, "new contents", reason), ReplaceOutcome::Replaced) << reason;
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Read(), "new contents");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FilesInDirectory(), 2u);  // the link and the directory "real"
}

TEST_F(XmlFileReplace, AHardLinkedFileIsRefusedWhole) {
    Write("original");
    const fs::path other = directory_ / "server.xml.bak";
    fs::create_hard_link(path_, other);
    std::string reason;
    EXPECT_EQ(replacer_.Replace(path_, "new", reason), ReplaceOutcome::HasOtherNames);
    EXPECT_EQ(Read(), "original");
    EXPECT_EQ(FilesInDirectory(), 2u);
    EXPECT_EQ(fs::hard_link_count(path_), 2u);
}

TEST_F(XmlFileReplace, AMissingFileIsNotCreated) {
    std::string reason;
    EXPECT_EQ(replacer_.Replace(path_, "new", reason), ReplaceOutcome::Failed);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(XmlFileReplace, LoadChangeAndSaveByPath) {
    Write("<?xml version='1.0' encoding='utf-8'?>\r\n<Server><Connector port='8080'/></Server>\r\n");
    test::FakeFiles files;
    files.files[path_] = Read();
    LoadResult loaded = LoadXmlFile(files, path_);
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    XmlDocument& document = *loaded.document;
    document.SetGb2312Declaration();
    const XmlNodeId connector = *document.FirstChild(document.ChildNodes(document.DocumentNode())[1]);
    std::string reason;
    ASSERT_TRUE(document.SetAttribute(connector, "port", "80", reason));
    ASSERT_EQ(SaveXmlFile(document, path_, replacer_, reason), ReplaceOutcome::Replaced) << reason;
    EXPECT_EQ(Read(), "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<Server><Connector port='80'/></Server>\r\n");
}

TEST_F(XmlFileReplace, ADocumentThatCannotBeEncodedWritesNothing) {
    const std::string original = "<r><!-- 镕 --></r>";
    Write(original);
    test::FakeFiles files;
    files.files[path_] = original;
    LoadResult loaded = LoadXmlFile(files, path_);
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    loaded.document->SetGb2312Declaration();
    std::string reason;
    EXPECT_EQ(SaveXmlFile(*loaded.document, path_, replacer_, reason), ReplaceOutcome::Failed);
    EXPECT_NE(reason.find("GB2312"), std::string::npos) << reason;
    EXPECT_EQ(Read(), original);
}

TEST_F(XmlFileReplace, LoadingAMissingOrMalformedFileFailsWithThePath) {
    test::FakeFiles files;
    const LoadResult missing = LoadXmlFile(files, path_);
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find(path_), std::string::npos);
    files.files[path_] = "<Server>";
    const LoadResult malformed = LoadXmlFile(files, path_);
    EXPECT_FALSE(malformed.ok());
    EXPECT_NE(malformed.error.find("not closed"), std::string::npos) << malformed.error;
}

}  // namespace
}  // namespace qm::xml
