#include "sqlserver/instance_names.h"
#include "sqlserver/instance_page.h"
#include "ui/application_win.h"
#include "ui/controls_win.h"
#include "ui/form1_win.h"

// The SQL Server page: the instance list, and start and stop of the picked
// instance's service.

namespace qm::ui {
namespace {

using PageAction = sqlserver::PageOutcome (sqlserver::InstancePage::*)(std::string_view);

// The instance name is read once: the handler keeps to it even if the user
// picks another entry while it waits. The box comes first, then the buttons,
// so the user reads the outcome before the page changes under it.
void Run(PageAction action, const SqlPagePorts& ports, HWND list, HWND start, HWND stop) {
    const std::string instance = ControlText(list);
    sqlserver::InstancePage page(ports.services, ports.waiting);
    const sqlserver::PageOutcome outcome = (page.*action)(instance);
    if (outcome.message) ShowInformationBox(*outcome.message);
    if (outcome.buttons) {
        EnableWindow(start, outcome.buttons->startEnabled ? TRUE : FALSE);
        EnableWindow(stop, outcome.buttons->stopEnabled ? TRUE : FALSE);
    }
}

}  // namespace

void TForm1::getSQLServer() {
    FillComboBox(Control(ControlId::ServiceComboBox), sqlserver::ReadInstanceList(sql_.instanceNames));
}

void TForm1::ServiceComboBoxChange() {
    Run(&sqlserver::InstancePage::Pick, sql_, Control(ControlId::ServiceComboBox), Control(ControlId::cxButton13),
        Control(ControlId::cxButton14));
}

void TForm1::cxButton13Click() {
    Run(&sqlserver::InstancePage::Start, sql_, Control(ControlId::ServiceComboBox), Control(ControlId::cxButton13),
        Control(ControlId::cxButton14));
}

void TForm1::cxButton14Click() {
    Run(&sqlserver::InstancePage::Stop, sql_, Control(ControlId::ServiceComboBox), Control(ControlId::cxButton13),
        Control(ControlId::cxButton14));
}

}  // namespace qm::ui
