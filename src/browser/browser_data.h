#pragma once

#include <string>

#include "platform/shell.h"

namespace qm::browser {

// cxButton1 ... cxButton6 of the browser data page ask the system's browser
// control panel to delete one kind of data each: temporary files, cookies,
// history, form data, passwords, all. The parameters passed to rundll32.exe
// for button 1 to 6; std::out_of_range for any other number.
std::string BrowserDataParameters(int button);

// The click of browser data button 1 to 6: runs the system directory's
// rundll32.exe with the button's parameters; reports nothing.
void ClearBrowserData(Shell& shell, int button);

}  // namespace qm::browser
