#include "ui/form1_win.h"

// Handlers whose logic arrives with the pages they belong to. Until then a
// click does nothing.

namespace qm::ui {

void TForm1::cxButton1Click() {}
void TForm1::cxButton2Click() {}
void TForm1::cxButton3Click() {}
void TForm1::cxButton4Click() {}
void TForm1::cxButton5Click() {}
void TForm1::cxButton6Click() {}
void TForm1::cxButton7Click() {}
void TForm1::cxButton8Click() {}
void TForm1::cxButton9Click() {}
void TForm1::cxButton10Click() {}
void TForm1::cxButton11Click() {}
void TForm1::cxButton12Click() {}
void TForm1::btn_portClick() {}
void TForm1::ServiceComboBoxChange() {}
void TForm1::cxButton13Click() {}
void TForm1::cxButton14Click() {}
void TForm1::SetEnvPath(const std::string&, const std::string&) {}
void TForm1::writeXML(const std::string&, const std::string&) {}
bool TForm1::CloseTomcatProcess() { return false; }
void TForm1::StopServies(const std::string&) {}
void TForm1::getSQLServer() {}

}  // namespace qm::ui
