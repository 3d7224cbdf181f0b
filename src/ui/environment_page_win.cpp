#include "ui/form1_win.h"

#include "tomcat/environment_settings.h"
#include "ui/shell_win.h"

// Runtime environment page: the two "更换安装目录" buttons make a picked
// directory the machine-wide JAVA_HOME or CATALINA_HOME.

namespace qm::ui {

void TForm1::cxButton11Click() { ChangeInstallationDirectory(tomcat::kJavaHomeButton, "JavaHomeEdit"); }
void TForm1::cxButton12Click() { ChangeInstallationDirectory(tomcat::kTomcatHomeButton, "TomcatHomeEdit"); }

void TForm1::ChangeInstallationDirectory(const tomcat::DirectoryButton& button, std::string_view edit) {
    const tomcat::DirectoryChange change =
        tomcat::ChangeInstallationDirectory(button, ports_.folderBrowser, ports_.Environment());
    if (change.notice) ShowInformationBox(*change.notice);
    if (change.editText) SetText(edit, *change.editText);
}

}  // namespace qm::ui
