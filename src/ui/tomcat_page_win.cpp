#include "ui/form1_win.h"

// Tomcat page. Until its logic arrives a click does nothing.

namespace qm::ui {

void TForm1::cxButton7Click() {}
void TForm1::cxButton8Click() {}
void TForm1::cxButton9Click() {}
void TForm1::cxButton10Click() {}
bool TForm1::CloseTomcatProcess() { return false; }

}  // namespace qm::ui
