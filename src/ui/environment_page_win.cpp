#include "ui/form1_win.h"

// Runtime environment page, directory buttons. Until its logic arrives a click does nothing.

namespace qm::ui {

void TForm1::cxButton11Click() {}
void TForm1::cxButton12Click() {}
void TForm1::SetEnvPath(const std::string&, const std::string&) {}

}  // namespace qm::ui
