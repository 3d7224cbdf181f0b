// Small helpers per kind of control, so the pages say what they show rather
// than which messages carry it. Texts are UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace qm::ui {

// Any control with a window text: edit boxes, labels, the combo box's field.
std::string ControlText(HWND control);
void SetControlText(HWND control, std::string_view text);

// A drop-down list: its items replaced, and the picked one by index (-1 for none).
void FillComboBox(HWND combo, const std::vector<std::string>& items);
int ComboBoxPick(HWND combo);
void SetComboBoxPick(HWND combo, int index);

// A report-style list view: headings, rows of cells, one selected row.
void AddListViewColumn(HWND list, int index, std::string_view heading, int width);
// Column 0 adds the row; the other columns fill its cells.
void SetListViewCell(HWND list, int row, int column, std::string_view text);
void ClearListView(HWND list);
void SelectListViewRow(HWND list, int row);

}  // namespace qm::ui
