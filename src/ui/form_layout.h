#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace qm::ui {

// The main window is built from one table: a row per control, in the order
// the controls are created (parents before children, siblings in tab order).
// Positions and sizes are pixels of the 96 dpi design, relative to the page
// or group box that holds the control.

enum class ControlKind {
    PageControl,
    Page,
    GroupBox,
    Button,
    Edit,
    Label,
    DropDownList,
    Picture,
    ReportList,
    ReadOnlyText,  // several lines, wrapped, scrolled when longer than the box
    StatusLine,    // a label of a fixed size, its text centred and wrapped
};

struct FontSpec {
    std::string_view face;  // empty: the control has no font of its own
    int height = 0;         // character height in pixels at 96 dpi
    bool bold = false;

    bool operator==(const FontSpec&) const = default;
};

inline constexpr std::string_view kFace = "微软雅黑";
inline constexpr FontSpec kNoFont{};
constexpr FontSpec Font(int height) { return FontSpec{kFace, height, false}; }
inline constexpr FontSpec kGroupCaption{"Consolas", 20, true};
inline constexpr FontSpec kSummary{kFace, 13, true};

class TForm1;

// The table itself, one ROW(name, kind, parent, caption, left, top, width,
// height, font, tab order, enabled, handler) per control. A tab order of -1:
// never takes the focus; 0 x 0: sized by its content (labels) or its parent
// (pages). The handler is the window's member that a click of a button, a
// pick in a list or the showing of a page runs. The window expands the
// handlers, everything else the rows and the ids below: a control is added
// by its row here and its handler.
// clang-format off
#define QM_MAIN_WINDOW_CONTROLS(ROW) \
    /*  name               kind          parent               caption             left top    w    h  font          tab  enabled handler */ \
    ROW(PageControl1,      PageControl,  "",                  "",                   0,   0, 377, 369, Font(12),        0, true,  nullptr) \
    ROW(TomcatTabSheet,    Page,         "PageControl1",      "Apache Tomcat",      0,   0,   0,   0, kNoFont,         0, true,  &TForm1::TomcatTabSheetShow) \
    ROW(IETabSheet,        Page,         "PageControl1",      "IE浏览器",              0,   0,   0,   0, kNoFont,         1, true,  nullptr) \
    ROW(EnvTabSheet,       Page,         "PageControl1",      "运行环境",               0,   0,   0,   0, kNoFont,         2, true,  nullptr) \
    ROW(SQLTabSheet,       Page,         "PageControl1",      "SQL Server",         0,   0,   0,   0, kNoFont,         3, true,  &TForm1::SQLTabSheetShow) \
    ROW(DiagnosisTabSheet, Page,         "PageControl1",      "诊断",                 0,   0,   0,   0, kNoFont,         4, true,  &TForm1::DiagnosisTabSheetShow) \
    ROW(TabSheet1,         Page,         "PageControl1",      "关于",                 0,   0,   0,   0, kNoFont,         5, true,  nullptr) \
    ROW(cxButton7,         Button,       "TomcatTabSheet",    "清除临时文件",            96,  62, 185,  35, Font(13),        0, true,  &TForm1::cxButton7Click) \
    ROW(cxButton8,         Button,       "TomcatTabSheet",    "启动服务",              96, 126, 185,  35, Font(13),        1, true,  &TForm1::cxButton8Click) \
    ROW(cxButton9,         Button,       "TomcatTabSheet",    "以服务形式启动",           96, 190, 185,  35, Font(13),        2, true,  &TForm1::cxButton9Click) \
    ROW(cxButton10,        Button,       "TomcatTabSheet",    "关闭服务",              96, 262, 185,  35, Font(13),        3, true,  &TForm1::cxButton10Click) \
    ROW(TomcatStatus,      StatusLine,   "TomcatTabSheet",    "",                   8, 302, 361,  32, Font(12),       -1, true,  nullptr) \
    /* Focus visits cxButton2 first, although cxButton1 is the top one. */ \
    ROW(cxButton2,         Button,       "IETabSheet",        "清除Cookie",          96,  78, 185,  35, Font(13),        0, true,  &TForm1::cxButton2Click) \
    ROW(cxButton1,         Button,       "IETabSheet",        "清除临时文件",            96,  30, 185,  35, Font(13),        1, true,  &TForm1::cxButton1Click) \
    ROW(cxButton3,         Button,       "IETabSheet",        "清除历史记录",            96, 126, 185,  35, Font(13),        2, true,  &TForm1::cxButton3Click) \
    ROW(cxButton4,         Button,       "IETabSheet",        "清除表单数据",            96, 174, 185,  35, Font(13),        3, true,  &TForm1::cxButton4Click) \
    ROW(cxButton5,         Button,       "IETabSheet",        "清除密码",              96, 222, 185,  35, Font(13),        4, true,  &TForm1::cxButton5Click) \
    ROW(cxButton6,         Button,       "IETabSheet",        "清除以上全部",            96, 270, 185,  35, Font(13),        5, true,  &TForm1::cxButton6Click) \
    ROW(GroupBox1,         GroupBox,     "EnvTabSheet",       "Java",               8,  16, 353, 137, kGroupCaption,   0, true,  nullptr) \
    ROW(JavaHomeEdit,      Edit,         "GroupBox1",         "",                   8,  48, 321,  27, Font(13),        0, false, nullptr) \
    ROW(cxButton11,        Button,       "GroupBox1",         "更换安装目录",             8,  86, 121,  27, Font(13),        1, true,  &TForm1::cxButton11Click) \
    ROW(GroupBox2,         GroupBox,     "EnvTabSheet",       "Tomcat",             8, 168, 353, 145, kGroupCaption,   1, true,  nullptr) \
    ROW(TomcatHomeEdit,    Edit,         "GroupBox2",         "",                   8,  46, 321,  27, Font(13),        0, false, nullptr) \
    ROW(cxButton12,        Button,       "GroupBox2",         "更换安装目录",             8,  94, 121,  27, Font(13),        1, true,  &TForm1::cxButton12Click) \
    /* Focus visits btn_port before TomcatPort. */ \
    ROW(btn_port,          Button,       "GroupBox2",         "修改",               264,  94,  65,  27, Font(13),        2, true,  &TForm1::btn_portClick) \
    ROW(TomcatPort,        Edit,         "GroupBox2",         "",                 192,  94,  65,  27, Font(13),        3, true,  nullptr) \
    ROW(lbl1,              Label,        "GroupBox2",         "端口",               148,  97,   0,   0, Font(16),       -1, true,  nullptr) \
    ROW(ServiceComboBox,   DropDownList, "SQLTabSheet",       "",                 136,  96, 185,  25, Font(12),        0, true,  &TForm1::ServiceComboBoxChange) \
    ROW(cxButton13,        Button,       "SQLTabSheet",       "启动",                88, 166,  73,  27, Font(13),        1, false, &TForm1::cxButton13Click) \
    ROW(cxButton14,        Button,       "SQLTabSheet",       "停止",               200, 166,  73,  27, Font(13),        2, false, &TForm1::cxButton14Click) \
    ROW(Label5,            Label,        "SQLTabSheet",       "数据库实例",             36,  98,   0,   0, Font(16),       -1, true,  nullptr) \
    ROW(SqlStatus,         StatusLine,   "SQLTabSheet",       "",                   8, 128, 361,  32, Font(12),       -1, true,  nullptr) \
    ROW(DiagnosisSummary,  Label,        "DiagnosisTabSheet", "",                   8,   6, 355,  20, kSummary,       -1, true,  nullptr) \
    ROW(DiagnosisList,     ReportList,   "DiagnosisTabSheet", "",                   8,  28, 355, 150, Font(12),        0, true,  nullptr) \
    ROW(DiagnosisDetails,  ReadOnlyText, "DiagnosisTabSheet", "",                   8, 184, 355, 106, Font(12),        1, true,  nullptr) \
    ROW(DiagnoseButton,    Button,       "DiagnosisTabSheet", "开始诊断",             112, 298, 121,  27, Font(13),        2, true,  &TForm1::DiagnoseButtonClick) \
    ROW(CopyReportButton,  Button,       "DiagnosisTabSheet", "复制结果",             242, 298, 121,  27, Font(13),        3, true,  &TForm1::CopyReportButtonClick) \
    ROW(RepairButton,      Button,       "DiagnosisTabSheet", "修复…",                  8, 298,  96,  27, Font(13),        4, false, &TForm1::RepairButtonClick) \
    ROW(Image1,            Picture,      "TabSheet1",         "",                  32,  72,  41,  41, kNoFont,        -1, true,  nullptr) \
    ROW(Label1,            Label,        "TabSheet1",         "Quillmate",         96,  80,   0,   0, Font(20),       -1, true,  nullptr) \
    ROW(Label2,            Label,        "TabSheet1",         "For Tomcat6",      136, 136,   0,   0, Font(19),       -1, true,  nullptr) \
    ROW(Label3,            Label,        "TabSheet1",         "Version : 1.2.2",  133, 208,   0,   0, Font(19),       -1, true,  nullptr) \
    ROW(Label4,            Label,        "TabSheet1",         "服务与系统环境变量的操作需要管理员权限",   16, 312,   0,   0, Font(14),       -1, true,  nullptr)
// clang-format on

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view parent;   // empty: the window itself
    std::string_view caption;  // caption, page tab text or initial text
    int left, top;
    int width, height;  // 0 x 0: sized by its content (labels) or its parent (pages)
    FontSpec font;
    int tabOrder;  // -1: never takes the focus
    bool enabled;
};

// Each control by its row: ControlId::DiagnosisList is the report list's.
#define QM_CONTROL_ID(name, ...) name,
enum class ControlId : std::size_t { QM_MAIN_WINDOW_CONTROLS(QM_CONTROL_ID) };
#undef QM_CONTROL_ID

// The window numbers its controls in table order from here (the id of
// WM_COMMAND and GetDlgCtrlID).
inline constexpr int kFirstControlId = 100;
constexpr int WindowIdOf(ControlId control) { return kFirstControlId + static_cast<int>(control); }

inline constexpr int kClientWidth = 377;
inline constexpr int kClientHeight = 363;
inline constexpr int kDesignDpi = 96;

// All controls of the main window, in the table's order.
std::span<const ControlSpec> MainWindowControls();

// Design pixels at the window's dpi, rounded to the nearest pixel.
int ScaleToDpi(int designPixels, int dpi);

struct Point {
    int x, y;
};

// Where the window goes when first shown: centred on the virtual screen by
// halving the free space, truncated toward zero (no monitor offset added).
Point CentredOnScreen(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

}  // namespace qm::ui
