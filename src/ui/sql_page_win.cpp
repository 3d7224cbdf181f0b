#include "ui/form1_win.h"

// SQL Server page. Until its logic arrives a click does nothing.

namespace qm::ui {

void TForm1::ServiceComboBoxChange() {}
void TForm1::cxButton13Click() {}
void TForm1::cxButton14Click() {}
void TForm1::StopServies(const std::string&) {}
void TForm1::getSQLServer() {}

}  // namespace qm::ui
