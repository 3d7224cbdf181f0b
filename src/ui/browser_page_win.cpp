#include "browser/browser_data.h"
#include "ui/page_controllers_win.h"

namespace qm::ui {

void BrowserPageController::Clear(int kind) { browser::ClearBrowserData(shell_, kind); }

}  // namespace qm::ui
