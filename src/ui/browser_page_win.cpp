#include "browser/browser_data.h"
#include "ui/form1_win.h"

// The browser data page: each button asks the system's browser control panel
// to delete one kind of data, in a process of its own; nothing is reported.

namespace qm::ui {

void TForm1::cxButton1Click() { browser::ClearBrowserData(browser_.shell, 1); }
void TForm1::cxButton2Click() { browser::ClearBrowserData(browser_.shell, 2); }
void TForm1::cxButton3Click() { browser::ClearBrowserData(browser_.shell, 3); }
void TForm1::cxButton4Click() { browser::ClearBrowserData(browser_.shell, 4); }
void TForm1::cxButton5Click() { browser::ClearBrowserData(browser_.shell, 5); }
void TForm1::cxButton6Click() { browser::ClearBrowserData(browser_.shell, 6); }

}  // namespace qm::ui
