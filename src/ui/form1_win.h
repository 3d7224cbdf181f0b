#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "tomcat/startup_port.h"
#include "ui/action_gate.h"
#include "ui/diagnosis_page_win.h"
#include "ui/form_layout.h"
#include "ui/page_ports.h"
#include "ui/status_line_win.h"

namespace qm::ui {

// The program's one window: a page control of six pages, built from the
// control table. It routes its messages, follows the dpi and keeps the fonts.
// A control's row in the table names its handler here; each page's handlers
// are defined in that page's file (tomcat_page_win.cpp, ...), read the
// page's controls, call the program's logic with that page's ports and show
// what it returns.
class TForm1 {
public:
    // Creates the window with its page control, all its tabs, the first page
    // and that page's controls. The owner window owns it. The other pages and
    // FormCreate follow right after the first show.
    TForm1(HINSTANCE instance, HWND owner, const PagePorts& ports);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;
    ~TForm1();

    HWND Handle() const { return hwnd_; }

    // First show, centred on the virtual screen, honouring the start's show command.
    void Show(int showCommand);

    // Creation event.
    void FormCreate();

    // Browser data page.
    void cxButton1Click();
    void cxButton2Click();
    void cxButton3Click();
    void cxButton4Click();
    void cxButton5Click();
    void cxButton6Click();
    // Tomcat page.
    void TomcatTabSheetShow();
    void cxButton7Click();
    void cxButton8Click();
    void cxButton9Click();
    void cxButton10Click();
    // Runtime environment page.
    void cxButton11Click();
    void cxButton12Click();
    void btn_portClick();
    // SQL Server page.
    void SQLTabSheetShow();
    void ServiceComboBoxChange();
    void cxButton13Click();
    void cxButton14Click();
    // Diagnosis page.
    void DiagnosisTabSheetShow();
    void DiagnoseButtonClick();
    void CopyReportButtonClick();
    void RepairButtonClick();

    // Routines shared by the handlers.
    void writeXML(const std::string& path, const std::string& newPort);
    void getSQLServer();

private:
    // Posted by a diagnosis run when its report is there to take.
    static constexpr UINT kDiagnosisDoneMessage = WM_APP + 2;
    // Posted when the port read at start is there to take.
    static constexpr UINT kStartupPortMessage = WM_APP + 3;
    // Posted when a status line's read is there to take.
    static constexpr UINT kStatusDoneMessage = WM_APP + 4;
    // The pages by their place among the tabs.
    static constexpr int kTomcatPage = 0;
    static constexpr int kSqlPage = 3;
    static constexpr int kDiagnosisPage = 4;

    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ContainerProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT HandleMessage(UINT, WPARAM, LPARAM);
    bool HandleContainerMessage(UINT, WPARAM, LPARAM, LRESULT& result);

    void CreateControls(bool firstPageOnly);
    void InsertTabs(std::string_view pageControlName, HWND pageControl);
    void FinishPages();
    HWND CreateControl(const ControlSpec& row, HWND parent, int id);
    void ApplyDpi(int dpi);
    RECT Placement(const ControlSpec& row);
    void LayOut(const ControlSpec& row, HWND control, bool place);
    HFONT FontFor(const FontSpec& font);
    void ShowPage(int index);
    using Handler = void (TForm1::*)();
    bool Raise(Handler handler);  // whether it ran: not while another one runs
    void DrawPicture(const DRAWITEMSTRUCT& item);
    void ShowInstallationDirectories();
    void ShowStartupPort();
    void ReadStatusLine(bool again);
    void TurnPage(int index);
    bool FilterKey(const MSG& message);

    // A control; null while its page is not built yet.
    HWND Control(ControlId id) const { return controls_[static_cast<size_t>(id)]; }

    int Scale(int designPixels) const { return ScaleToDpi(designPixels, dpi_); }

    HINSTANCE instance_;
    BrowserPagePorts browser_;
    TomcatPagePorts tomcat_;
    EnvironmentPagePorts environment_;
    SqlPagePorts sql_;
    diagnosis::MachineOpener openMachine_;
    repair::RepairPorts repair_;
    HWND hwnd_ = nullptr;
    int dpi_ = kDesignDpi;
    std::vector<HWND> controls_;  // one per table row, same order
    // Of each drop-down list, the entry its handler last ran for (-1: none
    // yet); a pick while another action runs goes back to it.
    std::vector<int> keptPicks_;
    struct SharedFont {
        FontSpec wanted;
        win32::UniqueFont font;
    };
    std::vector<SharedFont> fonts_;
    win32::UniqueIcon windowIcon_;  // null while the class's icons serve the window's dpi
    win32::UniqueIcon windowSmallIcon_;
    win32::UniqueIcon pictureIcon_;  // the about page's picture, at the window's dpi
    HBRUSH background_ = GetSysColorBrush(COLOR_BTNFACE);
    SIZE frameSize_{};  // the window's one size, at its dpi
    bool shown_ = false;
    bool pagesFinished_ = false;
    ActionGate actions_;  // the click or pick being handled, waits included
    std::unique_ptr<DiagnosisPage> diagnosis_;  // with the page's controls, after the first show
    std::unique_ptr<StatusLines> statusLines_;  // likewise
    std::shared_ptr<tomcat::StartupPortRead> startupPort_;  // the read at start, until it is taken or given up
};

}  // namespace qm::ui
