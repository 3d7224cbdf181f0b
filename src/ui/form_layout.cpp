#include "ui/form_layout.h"

#include <array>

namespace qm::ui {
namespace {

using K = ControlKind;
using E = ControlEvent;

constexpr std::string_view kFace = "微软雅黑";
constexpr FontSpec kNoFont{};
constexpr FontSpec Font(int height) { return FontSpec{kFace, height, false}; }
constexpr FontSpec kGroupCaption{"Consolas", 20, true};
constexpr FontSpec kSummary{kFace, 13, true};

// One row per control, in columns.
// clang-format off
constexpr std::array<ControlSpec, 41> kControls{{
    // name               kind              parent            caption                   left top  w    h    font            tab enabled event
    {"PageControl1",      K::PageControl,   "",               "",                       0,   0,   377, 369, Font(12),       0,  true,  E::None},
    {"TomcatTabSheet",    K::Page,          "PageControl1",   "Apache Tomcat",          0,   0,   0,   0,   kNoFont,        0,  true,  E::None},
    {"IETabSheet",        K::Page,          "PageControl1",   "IE浏览器",               0,   0,   0,   0,   kNoFont,        1,  true,  E::None},
    {"EnvTabSheet",       K::Page,          "PageControl1",   "运行环境",               0,   0,   0,   0,   kNoFont,        2,  true,  E::None},
    {"SQLTabSheet",       K::Page,          "PageControl1",   "SQL Server",             0,   0,   0,   0,   kNoFont,        3,  true,  E::None},
    {"DiagnosisTabSheet", K::Page,          "PageControl1",   "诊断",                   0,   0,   0,   0,   kNoFont,        4,  true,  E::None},
    {"TabSheet1",         K::Page,          "PageControl1",   "关于",                   0,   0,   0,   0,   kNoFont,        5,  true,  E::None},

    {"cxButton7",         K::Button,        "TomcatTabSheet", "清除临时文件",           96,  62,  185, 35,  Font(13),       0,  true,  E::cxButton7Click},
    {"cxButton8",         K::Button,        "TomcatTabSheet", "启动服务",               96,  126, 185, 35,  Font(13),       1,  true,  E::cxButton8Click},
    {"cxButton9",         K::Button,        "TomcatTabSheet", "以服务形式启动",         96,  190, 185, 35,  Font(13),       2,  true,  E::cxButton9Click},
    {"cxButton10",        K::Button,        "TomcatTabSheet", "关闭服务",               96,  262, 185, 35,  Font(13),       3,  true,  E::cxButton10Click},

    // Focus visits cxButton2 first, although cxButton1 is the top one.
    {"cxButton2",         K::Button,        "IETabSheet",     "清除Cookie",             96,  78,  185, 35,  Font(13),       0,  true,  E::cxButton2Click},
    {"cxButton1",         K::Button,        "IETabSheet",     "清除临时文件",           96,  30,  185, 35,  Font(13),       1,  true,  E::cxButton1Click},
    {"cxButton3",         K::Button,        "IETabSheet",     "清除历史记录",           96,  126, 185, 35,  Font(13),       2,  true,  E::cxButton3Click},
    {"cxButton4",         K::Button,        "IETabSheet",     "清除表单数据",           96,  174, 185, 35,  Font(13),       3,  true,  E::cxButton4Click},
    {"cxButton5",         K::Button,        "IETabSheet",     "清除密码",               96,  222, 185, 35,  Font(13),       4,  true,  E::cxButton5Click},
    {"cxButton6",         K::Button,        "IETabSheet",     "清除以上全部",           96,  270, 185, 35,  Font(13),       5,  true,  E::cxButton6Click},

    {"GroupBox1",         K::GroupBox,      "EnvTabSheet",    "Java",                   8,   16,  353, 137, kGroupCaption,  0,  true,  E::None},
    {"JavaHomeEdit",      K::Edit,          "GroupBox1",      "",                       8,   48,  321, 27,  Font(13),       0,  false, E::None},
    {"cxButton11",        K::Button,        "GroupBox1",      "更换安装目录",           8,   86,  121, 27,  Font(13),       1,  true,  E::cxButton11Click},
    {"GroupBox2",         K::GroupBox,      "EnvTabSheet",    "Tomcat",                 8,   168, 353, 145, kGroupCaption,  1,  true,  E::None},
    {"TomcatHomeEdit",    K::Edit,          "GroupBox2",      "",                       8,   46,  321, 27,  Font(13),       0,  false, E::None},
    {"cxButton12",        K::Button,        "GroupBox2",      "更换安装目录",           8,   94,  121, 27,  Font(13),       1,  true,  E::cxButton12Click},
    // Focus visits btn_port before TomcatPort.
    {"btn_port",          K::Button,        "GroupBox2",      "修改",                   264, 94,  65,  27,  Font(13),       2,  true,  E::btn_portClick},
    {"TomcatPort",        K::Edit,          "GroupBox2",      "",                       192, 94,  65,  27,  Font(13),       3,  true,  E::None},
    {"lbl1",              K::Label,         "GroupBox2",      "端口",                   148, 97,  0,   0,   Font(16),       -1, true,  E::None},

    {"ServiceComboBox",   K::DropDownList,  "SQLTabSheet",    "",                       136, 96,  185, 25,  Font(12),       0,  true,  E::ServiceComboBoxChange},
    {"cxButton13",        K::Button,        "SQLTabSheet",    "启动",                   88,  166, 73,  27,  Font(13),       1,  false, E::cxButton13Click},
    {"cxButton14",        K::Button,        "SQLTabSheet",    "停止",                   200, 166, 73,  27,  Font(13),       2,  false, E::cxButton14Click},
    {"Label5",            K::Label,         "SQLTabSheet",    "数据库实例",             36,  98,  0,   0,   Font(16),       -1, true,  E::None},

    {"DiagnosisSummary",  K::Label,         "DiagnosisTabSheet", "",                    8,   6,   355, 20,  kSummary,       -1, true,  E::None},
    {"DiagnosisList",     K::ReportList,    "DiagnosisTabSheet", "",                    8,   28,  355, 150, Font(12),       0,  true,  E::None},
    {"DiagnosisDetails",  K::ReadOnlyText,  "DiagnosisTabSheet", "",                    8,   184, 355, 106, Font(12),       1,  true,  E::None},
    {"DiagnoseButton",    K::Button,        "DiagnosisTabSheet", "开始诊断",            112, 298, 121, 27,  Font(13),       2,  true,  E::DiagnoseButtonClick},
    {"CopyReportButton",  K::Button,        "DiagnosisTabSheet", "复制结果",            242, 298, 121, 27,  Font(13),       3,  true,  E::CopyReportButtonClick},
    {"RepairButton",      K::Button,        "DiagnosisTabSheet", "修复…",               8,   298, 96,  27,  Font(13),       4,  false, E::RepairButtonClick},

    {"Image1",            K::Picture,       "TabSheet1",      "",                       32,  72,  41,  41,  kNoFont,        -1, true,  E::None},
    {"Label1",            K::Label,         "TabSheet1",      "Quillmate",              96,  80,  0,   0,   Font(20),       -1, true,  E::None},
    {"Label2",            K::Label,         "TabSheet1",      "For Tomcat6",            136, 136, 0,   0,   Font(19),       -1, true,  E::None},
    {"Label3",            K::Label,         "TabSheet1",      "Version : 1.2.2",        133, 208, 0,   0,   Font(19),       -1, true,  E::None},
    {"Label4",            K::Label,         "TabSheet1",      "服务与系统环境变量的操作需要管理员权限", 16, 312, 0, 0, Font(14), -1, true, E::None},
}};
// clang-format on

}  // namespace

std::span<const ControlSpec> MainWindowControls() { return kControls; }

int ScaleToDpi(int designPixels, int dpi) {
    // Rounded half away from zero, as MulDiv does.
    const long long scaled = static_cast<long long>(designPixels) * dpi;
    const long long half = kDesignDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kDesignDpi : -((-scaled + half) / kDesignDpi));
}

Point CentredOnScreen(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
    return {(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2};
}

}  // namespace qm::ui
