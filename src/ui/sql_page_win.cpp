#include "sqlserver/instance_names.h"
#include "sqlserver/instance_page.h"
#include "ui/controls_win.h"
#include "ui/page_controllers_win.h"
#include "ui/shell_win.h"

namespace qm::ui {
namespace {

// The box first, then the buttons, so the user reads the outcome before the
// page changes under it.
template <typename SetButtons>
void Apply(const sqlserver::PageOutcome& outcome, SetButtons setButtons) {
    if (outcome.message) ShowInformationBox(*outcome.message);
    if (outcome.buttons) setButtons(outcome.buttons->startEnabled, outcome.buttons->stopEnabled);
}

}  // namespace

void SqlPageController::getSQLServer() {
    FillComboBox(control_("ServiceComboBox"), sqlserver::ReadInstanceList(ports_.instanceNames));
}

void SqlPageController::Pick() {
    pickedInstance_ = ComboBoxPick(control_("ServiceComboBox"));
    Run(&sqlserver::InstancePage::Pick);
}
void SqlPageController::Start() { Run(&sqlserver::InstancePage::Start); }
void SqlPageController::Stop() { Run(&sqlserver::InstancePage::Stop); }

// The instance name is read once: the handler keeps to it even if the user
// picks another entry while it waits.
void SqlPageController::Run(sqlserver::PageOutcome (sqlserver::InstancePage::*action)(std::string_view)) {
    const std::string instance = ControlText(control_("ServiceComboBox"));
    sqlserver::InstancePage page(ports_.services, ports_.waiting);
    Apply((page.*action)(instance), [this](bool start, bool stop) {
        EnableWindow(control_("cxButton13"), start ? TRUE : FALSE);
        EnableWindow(control_("cxButton14"), stop ? TRUE : FALSE);
    });
}

}  // namespace qm::ui
