#include "tomcat/installation.h"

#include "unit/diagnosis_fakes.h"

#include <gtest/gtest.h>

namespace qm::tomcat {
namespace {

using test::FakeFiles;
using test::FakeServices;

// The first lines of RELEASE-NOTES as Tomcat ships them.
std::string ReleaseNotes(const std::string& version) {
    return "================================================================================\n"
           "  Licensed to the Apache Software Foundation (ASF) under one or more\n"
           "================================================================================\n\n\n"
           "                     Apache Tomcat Version " +
           version + "\n                            Release Notes\n\n\n=========\nCONTENTS:\n";
}

// A CATALINA_HOME of files and services, laid out as one way of installing
// Tomcat leaves it.
class Layout {
public:
    explicit Layout(std::string home) : home_(std::move(home)) { files.listings[Bin()] = {{"catalina.bat"}}; }

    std::string Bin() const { return home_ + "\\bin"; }
    Layout& Program(const std::string& name) {
        files.files[Bin() + "\\" + name] = "";
        files.listings[Bin()].push_back({name});
        return *this;
    }
    Layout& Notes(const std::string& version) {
        files.files[home_ + "\\RELEASE-NOTES"] = ReleaseNotes(version);
        return *this;
    }
    Layout& Service(const std::string& name, const std::string& commandLine) {
        services.Install(name, commandLine, 1);
        return *this;
    }
    Installation Read() { return ReadInstallation(home_, files, services); }

    FakeFiles files;
    FakeServices services;

private:
    std::string home_;
};

// --- One test per way of installing ------------------------------------------

TEST(Installation, Tomcat6FromTheInstaller) {
    Layout layout("C:\\Program Files\\Apache Software Foundation\\Tomcat 6.0");
    layout.Program("tomcat6.exe").Program("tomcat6w.exe").Notes("6.0.53");
    layout.Service("Tomcat6",
                   "\"C:\\Program Files\\Apache Software Foundation\\Tomcat 6.0\\bin\\tomcat6.exe\" //RS//Tomcat6");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.version.text, "6.0.53");
    EXPECT_EQ(installation.version.major, 6);
    EXPECT_EQ(installation.version.minor, 0);
    EXPECT_EQ(installation.version.source, VersionSource::ReleaseNotes);
    EXPECT_EQ(installation.versionFile, "C:\\Program Files\\Apache Software Foundation\\Tomcat 6.0\\RELEASE-NOTES");
    EXPECT_EQ(installation.runner, "tomcat6.exe");
    EXPECT_TRUE(installation.runnerExists);
    EXPECT_EQ(installation.service, "Tomcat6");
    EXPECT_TRUE(installation.serviceRunsRunner);
}

TEST(Installation, Tomcat6UnzippedHasNoRunnerAndKeepsTheOldNames) {
    Layout layout("D:\\apache-tomcat-6.0.53");
    layout.Notes("6.0.53");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.version.text, "6.0.53");
    EXPECT_EQ(installation.runner, "tomcat6.exe");
    EXPECT_FALSE(installation.runnerExists);
    EXPECT_EQ(installation.service, "tomcat6");
    EXPECT_FALSE(installation.serviceRunsRunner);
}

TEST(Installation, Tomcat9FromTheInstallerRunsTomcat9NotItsMonitor) {
    Layout layout("C:\\Tomcat 9.0");
    layout.Program("tomcat9w.exe").Program("tomcat9.exe").Notes("9.0.85");
    layout.Service("Tomcat9", "\"C:\\Tomcat 9.0\\bin\\tomcat9.exe\" //RS//Tomcat9");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.version.text, "9.0.85");
    EXPECT_EQ(installation.runner, "tomcat9.exe");
    EXPECT_TRUE(installation.runnerExists);
    EXPECT_EQ(installation.service, "Tomcat9");
    EXPECT_TRUE(installation.serviceRunsRunner);
}

TEST(Installation, Tomcat101UnzippedWithoutServiceTakesTheInstallersName) {
    Layout layout("D:\\apache-tomcat-10.1.18");
    layout.Program("tomcat10.exe").Program("tomcat10w.exe").Notes("10.1.18");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.version.major, 10);
    EXPECT_EQ(installation.version.minor, 1);
    EXPECT_EQ(installation.runner, "tomcat10.exe");
    EXPECT_EQ(installation.service, "Tomcat10");
    EXPECT_FALSE(installation.serviceRunsRunner);
}

TEST(Installation, Tomcat11UnderARenamedServiceFindsItByItsProgram) {
    Layout layout("C:\\srv\\tomcat11");
    layout.Program("tomcat11.exe").Program("tomcat11w.exe").Notes("11.0.0-M1");
    // Another installation's service, and one of this runner's not run as a service.
    layout.Service("Tomcat11", "C:\\other\\bin\\tomcat11.exe //RS//Tomcat11");
    layout.Service("Probe", "C:\\srv\\tomcat11\\bin\\tomcat11.exe //TS//Probe");
    layout.Service("MyTomcat", "C:\\SRV\\Tomcat11\\bin\\tomcat11.exe //RS//MyTomcat");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.version.text, "11.0.0-M1");
    EXPECT_EQ(installation.version.major, 11);
    EXPECT_EQ(installation.service, "MyTomcat");
    EXPECT_TRUE(installation.serviceRunsRunner);
}

// --- The rules one at a time --------------------------------------------------

TEST(Installation, WithoutReleaseNotesTheRunnerTellsTheMajorOnly) {
    Layout layout("C:\\tomcat");
    layout.Program("tomcat8.exe");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.version.source, VersionSource::RunnerName);
    EXPECT_EQ(installation.version.major, 8);
    EXPECT_EQ(installation.version.minor, std::nullopt);
    EXPECT_EQ(installation.versionFile, "C:\\tomcat\\bin\\tomcat8.exe");
}

TEST(Installation, SeveralRunnersGiveTomcat6AsBefore) {
    Layout layout("C:\\tomcat");
    layout.Program("tomcat8.exe").Program("tomcat9.exe");
    EXPECT_EQ(layout.Read().runner, "tomcat6.exe");
    layout.Program("tomcat6.exe");
    EXPECT_EQ(layout.Read().runner, "tomcat6.exe");
    EXPECT_TRUE(layout.Read().runnerExists);
}

TEST(Installation, AServiceKeepsNamingARunnerGoneFromBin) {
    Layout layout("C:\\tomcat");
    layout.Service("Tomcat9", "C:\\tomcat\\bin\\tomcat9.exe //RS//Tomcat9");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.runner, "tomcat9.exe");
    EXPECT_FALSE(installation.runnerExists);
    EXPECT_EQ(installation.service, "Tomcat9");
    EXPECT_TRUE(installation.serviceRunsRunner);
}

TEST(Installation, OfTwoServicesOfOneRunnerTheInstallersNameWins) {
    Layout layout("C:\\tomcat");
    layout.Program("tomcat9.exe");
    layout.Service("Second", "C:\\tomcat\\bin\\tomcat9.exe //RS//Second");
    layout.Service("tomcat9", "C:\\tomcat\\bin\\tomcat9.exe //RS//tomcat9");
    EXPECT_EQ(layout.Read().service, "tomcat9");
}

TEST(Installation, ARunnerPlantedInBinDoesNotTakeTheServiceOver) {
    Layout layout("C:\\tomcat9");
    layout.Program("tomcat6.exe").Program("tomcat9.exe");
    layout.Service("tomcat6", "D:\\tomcat6\\bin\\tomcat6.exe //RS//tomcat6");
    layout.Service("Tomcat9", "C:\\tomcat9\\bin\\tomcat9.exe //RS//Tomcat9");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.service, "Tomcat9");
    EXPECT_EQ(installation.runner, "tomcat9.exe");
}

TEST(Installation, TheInstallersNameRunningAnotherInstallationIsNoServiceOfThisOne) {
    // A second, unregistered Tomcat 9 beside the one the installer set up.
    Layout layout("D:\\tomcat9-copy");
    layout.Program("tomcat9.exe");
    layout.Service("Tomcat9", "\"C:\\tomcat9\\bin\\tomcat9.exe\" //RS//Tomcat9");
    const Installation installation = layout.Read();
    EXPECT_EQ(installation.runner, "tomcat9.exe");
    EXPECT_EQ(installation.service, "");
    ASSERT_TRUE(installation.otherInstallationsService.has_value());
    EXPECT_EQ(installation.otherInstallationsService->name, "Tomcat9");
}

TEST(Installation, ARefusedServiceListLeavesTheInstallersName) {
    Layout layout("C:\\tomcat");
    layout.Program("tomcat9.exe");
    layout.services.listRefused = true;
    EXPECT_EQ(layout.Read().service, "Tomcat9");
}

TEST(VersionInReleaseNotes, ReadsTheVersionLineOnly) {
    EXPECT_EQ(VersionInReleaseNotes(ReleaseNotes("8.5.99"))->text, "8.5.99");
    EXPECT_EQ(VersionInReleaseNotes("Apache Tomcat Version 7.0.109\r\n")->minor, 0);
    EXPECT_EQ(VersionInReleaseNotes("Apache Tomcat Version \nApache Tomcat Version x\n"), std::nullopt);
    EXPECT_EQ(VersionInReleaseNotes("Release Notes\n"), std::nullopt);
}

TEST(MinimumJava, FollowsTomcatsPublishedRequirements) {
    const auto minimum = [](int major, std::optional<int> minor) {
        TomcatVersion version;
        version.major = major;
        version.minor = minor;
        return MinimumJava(version);
    };
    EXPECT_EQ(minimum(11, 0), 17);
    EXPECT_EQ(minimum(10, 1), 11);
    EXPECT_EQ(minimum(10, 0), 8);
    EXPECT_EQ(minimum(10, std::nullopt), 8);
    EXPECT_EQ(minimum(9, 0), 8);
    EXPECT_EQ(minimum(8, 5), 7);
    EXPECT_EQ(minimum(8, 0), 7);
    EXPECT_EQ(minimum(7, 0), 6);
    EXPECT_EQ(minimum(6, 0), 5);
    EXPECT_EQ(minimum(5, 5), std::nullopt);
    EXPECT_EQ(minimum(0, std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace qm::tomcat
