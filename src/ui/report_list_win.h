// A report-style list of rows that draws one column in each row's colour and
// shows a row's whole long text as its tip.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls_win.h"

namespace qm::ui {

class ReportList final : public ControlWrapper {
public:
    struct Column {
        std::string_view heading;
        int width;     // at 96 dpi; a growing column widens to its longest text
        bool grows;    // so a long text scrolls sideways instead of being cut
        bool coloured; // drawn in its row's colour
    };
    struct Row {
        std::vector<std::string> cells;  // one per column
        std::optional<COLORREF> colour;  // nothing: as the system draws text
        std::string tip;
    };

    // scale turns design pixels into the window's; selected hears of each
    // row that becomes the selected one.
    ReportList(HWND list, std::span<const Column> columns, std::function<int(int)> scale,
               std::function<void(int)> selected);

    // Replaces every row, drawn once when all are in.
    void Show(std::vector<Row> rows);
    void Clear();
    void Select(int row);
    void Redraw();

    bool Notify(LPARAM notification, LRESULT& result) override;
    void ApplyDpi() override;

private:
    void LayOutColumns();

    std::span<const Column> columns_;
    std::function<int(int)> scale_;
    std::function<void(int)> selected_;
    std::vector<Row> rows_;
};

}  // namespace qm::ui
