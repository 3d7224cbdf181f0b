#include "ui/form1_win.h"

// Runtime environment page, connector port. Until its logic arrives a click does nothing.

namespace qm::ui {

void TForm1::btn_portClick() {}
void TForm1::writeXML(const std::string&, const std::string&) {}

}  // namespace qm::ui
