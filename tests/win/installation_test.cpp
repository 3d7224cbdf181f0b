// The installation model over the real file and service views: an unzipped
// Tomcat 10.1 without RELEASE-NOTES, whose version only its catalina.jar
// tells, inflated by the zlib the program is linked with.
#include "platform/win32/system_inspection_win.h"
#include "support/lib/processes.h"
#include "tomcat/installation.h"
#include "unit/catalina_jar.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace qm {
namespace {

TEST(Installation, AnUnzippedTomcat101TellsItsVersionFromCatalinaJar) {
    test::ScratchDirectory scratch;
    test::CreateFileWithText(scratch.Path() / L"tomcat" / L"lib" / L"catalina.jar", test::kCatalinaJar);
    test::CreateFileWithText(scratch.Path() / L"tomcat" / L"bin" / L"tomcat10.exe");
    test::CreateFileWithText(scratch.Path() / L"tomcat" / L"bin" / L"tomcat10w.exe");
    win32::Win32FileInspector files;
    win32::Win32ServiceInspector services;

    const tomcat::Installation installation = tomcat::ReadInstallation(scratch.Text(L"tomcat"), files, services);
    EXPECT_EQ(installation.version.source, tomcat::VersionSource::CatalinaJar);
    EXPECT_EQ(installation.version.text, "10.1.18.0");
    EXPECT_EQ(installation.runner, "tomcat10.exe");
    EXPECT_TRUE(installation.runnerExists);
    EXPECT_EQ(installation.service, "Tomcat10");
    EXPECT_FALSE(installation.serviceRunsRunner);
}

}  // namespace
}  // namespace qm
