#include "ui/form1_win.h"

// Browser data page. Until its logic arrives a click does nothing.

namespace qm::ui {

void TForm1::cxButton1Click() {}
void TForm1::cxButton2Click() {}
void TForm1::cxButton3Click() {}
void TForm1::cxButton4Click() {}
void TForm1::cxButton5Click() {}
void TForm1::cxButton6Click() {}

}  // namespace qm::ui
