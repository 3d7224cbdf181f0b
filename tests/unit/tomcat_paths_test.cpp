#include "tomcat/paths.h"

#include <gtest/gtest.h>

namespace qm::tomcat {
namespace {

// --- Which executables lie inside an installation ----------------------------

TEST(MatchesInstallation, TakesExecutablesInsideTheDirectoryAtAnyDepth) {
    EXPECT_TRUE(MatchesInstallation("C:\\jdk\\bin\\javaw.exe", "C:\\jdk"));
    EXPECT_TRUE(MatchesInstallation("C:\\jdk\\jre\\bin\\javaw.exe", "C:\\jdk"));
    EXPECT_TRUE(MatchesInstallation("C:\\jdk\\javaw.exe", "C:\\jdk"));
}

TEST(MatchesInstallation, IgnoresLetterCase) {
    EXPECT_TRUE(MatchesInstallation("C:\\JDK\\bin\\javaw.exe", "c:\\jdk"));
    EXPECT_TRUE(MatchesInstallation("c:\\jdk\\bin\\javaw.exe", "C:\\Jdk"));
}

TEST(MatchesInstallation, StopsAtTheDirectoryBoundary) {
    EXPECT_FALSE(MatchesInstallation("C:\\jdk2\\bin\\javaw.exe", "C:\\jdk"));
    EXPECT_FALSE(MatchesInstallation("C:\\jdk.old\\bin\\javaw.exe", "C:\\jdk"));
    EXPECT_FALSE(MatchesInstallation("C:\\jdk", "C:\\jdk"));
}

TEST(MatchesInstallation, WantsThePathToBeginWithTheDirectory) {
    // A substring test would end D:\backup\C\jdk's programs for C\jdk.
    EXPECT_FALSE(MatchesInstallation("D:\\backup\\jdk\\bin\\javaw.exe", "jdk"));
    EXPECT_FALSE(MatchesInstallation("D:\\copies\\C\\jdk\\bin\\javaw.exe", "C\\jdk"));
}

TEST(MatchesInstallation, DropsTrailingSeparatorsOfTheValue) {
    EXPECT_TRUE(MatchesInstallation("C:\\jdk\\bin\\javaw.exe", "C:\\jdk\\"));
    EXPECT_TRUE(MatchesInstallation("C:\\jdk\\bin\\javaw.exe", "C:\\jdk\\\\/"));
    EXPECT_FALSE(MatchesInstallation("C:\\jdk2\\bin\\javaw.exe", "C:\\jdk\\"));
}

TEST(MatchesInstallation, ARootOfADriveOrShareIsNoInstallation) {
    EXPECT_FALSE(MatchesInstallation("D:\\bin\\javaw.exe", "D:\\"));
    EXPECT_FALSE(MatchesInstallation("D:\\other\\apache-tomcat-7\\bin\\tomcat7.exe", "d:"));
    EXPECT_FALSE(MatchesInstallation("\\\\server\\share\\jdk\\bin\\javaw.exe", "\\\\server\\share\\"));
    EXPECT_FALSE(MatchesInstallation("\\\\?\\C:\\jdk\\bin\\javaw.exe", "\\\\?\\C:\\"));
    EXPECT_FALSE(MatchesInstallation("\\\\?\\UNC\\server\\share\\bin\\javaw.exe", "\\\\?\\UNC\\server\\share"));
    // One level down is an installation again.
    EXPECT_TRUE(MatchesInstallation("D:\\jdk\\bin\\javaw.exe", "D:\\jdk"));
    EXPECT_TRUE(MatchesInstallation("\\\\server\\share\\jdk\\bin\\javaw.exe", "\\\\server\\share\\jdk"));
    EXPECT_TRUE(
        MatchesInstallation("\\\\?\\UNC\\server\\share\\jdk\\bin\\javaw.exe", "\\\\?\\UNC\\server\\share\\jdk"));
}

TEST(MatchesInstallation, TakesForwardSlashesAsSeparators) {
    EXPECT_TRUE(MatchesInstallation("C:\\jdk\\bin\\javaw.exe", "C:/jdk"));
    EXPECT_FALSE(MatchesInstallation("C:\\jdk2\\bin\\javaw.exe", "C:/jdk/"));
}

TEST(MatchesInstallation, AnEmptyValueOrOneOfSeparatorsMatchesNothing) {
    EXPECT_FALSE(MatchesInstallation("C:\\jdk\\bin\\javaw.exe", ""));
    EXPECT_FALSE(MatchesInstallation("\\jdk\\bin\\javaw.exe", "\\"));
    EXPECT_FALSE(MatchesInstallation("", "C:\\jdk"));
}

TEST(MatchesInstallation, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(MatchesInstallation("C:\\程序\\JDK\\bin\\javaw.exe", "c:\\程序\\jdk"));
    EXPECT_FALSE(MatchesInstallation("C:\\程序\\jdk\\bin\\javaw.exe", "C:\\程度\\jdk"));
}

TEST(IsNetworkOrDevicePath, SharesAndDevicePathsInEitherSpelling) {
    EXPECT_TRUE(IsNetworkOrDevicePath("\\\\host\\share\\jvm.dll"));
    EXPECT_TRUE(IsNetworkOrDevicePath("//host/share/jvm.dll"));
    EXPECT_TRUE(IsNetworkOrDevicePath("\\\\?\\UNC\\host\\share\\jvm.dll"));
    EXPECT_TRUE(IsNetworkOrDevicePath("\\\\.\\pipe\\logs"));
    EXPECT_TRUE(IsNetworkOrDevicePath("\\??\\C:\\jdk\\jvm.dll"));
    EXPECT_TRUE(IsNetworkOrDevicePath(" \\\\host\\share"));
    EXPECT_FALSE(IsNetworkOrDevicePath("C:\\jdk\\bin\\server\\jvm.dll"));
    EXPECT_FALSE(IsNetworkOrDevicePath("\\jdk\\jvm.dll"));
    EXPECT_FALSE(IsNetworkOrDevicePath("jdk\\jvm.dll"));
    EXPECT_FALSE(IsNetworkOrDevicePath(""));
}

}  // namespace
}  // namespace qm::tomcat
