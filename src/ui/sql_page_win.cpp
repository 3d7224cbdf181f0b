#include "ui/form1_win.h"

#include "sqlserver/instance_names.h"
#include "sqlserver/instance_page.h"
#include "ui/controls_win.h"
#include "ui/shell_win.h"

// SQL Server page: the instance list, and start and stop of the picked
// instance's service.

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

void TForm1::getSQLServer() {
    FillComboBox(Control("ServiceComboBox"), sqlserver::ReadInstanceList(ports_.instanceNames));
}

void TForm1::ServiceComboBoxChange() {
    pickedInstance_ = ComboBoxPick(Control("ServiceComboBox"));
    RunInstancePage(&sqlserver::InstancePage::Pick);
}
void TForm1::cxButton13Click() { RunInstancePage(&sqlserver::InstancePage::Start); }
void TForm1::cxButton14Click() { RunInstancePage(&sqlserver::InstancePage::Stop); }

// The instance name is read once: the handler keeps to it even if the user
// picks another entry while it waits.
void TForm1::RunInstancePage(sqlserver::PageOutcome (sqlserver::InstancePage::*action)(std::string_view)) {
    const std::string instance = Text("ServiceComboBox");
    sqlserver::InstancePage page(ports_.services, ports_.waiting);
    Apply((page.*action)(instance), [this](bool start, bool stop) {
        SetEnabled("cxButton13", start);
        SetEnabled("cxButton14", stop);
    });
}

}  // namespace qm::ui
