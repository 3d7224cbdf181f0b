#include "ui/form1_win.h"

#include "platform/win32/shell_win.h"
#include "browser/browser_data.h"

// Browser data page: each button asks the system's browser control panel to
// delete one kind of data, in a process of its own; nothing is reported.

namespace qm::ui {
namespace {

void ClearBrowserData(int button) {
    win32::DesktopShell shell;
    browser::ClearBrowserData(shell, button);
}

}  // namespace

void TForm1::cxButton1Click() { ClearBrowserData(1); }
void TForm1::cxButton2Click() { ClearBrowserData(2); }
void TForm1::cxButton3Click() { ClearBrowserData(3); }
void TForm1::cxButton4Click() { ClearBrowserData(4); }
void TForm1::cxButton5Click() { ClearBrowserData(5); }
void TForm1::cxButton6Click() { ClearBrowserData(6); }

}  // namespace qm::ui
