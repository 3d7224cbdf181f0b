// Small helpers per kind of control, so the pages say what they show rather
// than which messages carry it. Texts are UTF-8.
#pragma once

#include <windows.h>

#include <optional>
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

// Puts text on the clipboard as Unicode text, the form every program pastes.
// Another program may hold the clipboard for a moment (a clipboard viewer
// reading what was just put there): the copy waits that moment out, and
// throws when it lasts.
void CopyToClipboard(HWND owner, std::string_view text);

// A control that answers its own notifications and picks its own text colour,
// found by the window from the control alone. It is attached to the control
// while it lives, and must go before the control does.
class ControlWrapper {
public:
    ControlWrapper(const ControlWrapper&) = delete;
    ControlWrapper& operator=(const ControlWrapper&) = delete;

    HWND Handle() const { return control_; }

    // WM_NOTIFY from the control; whether it was handled, with its result.
    virtual bool Notify(LPARAM notification, LRESULT& result);
    // The text colour of a static control; nothing: the system's.
    virtual std::optional<COLORREF> TextColour() const;
    // The window's dpi changed: sizes of the control's own parts follow.
    virtual void ApplyDpi();

protected:
    explicit ControlWrapper(HWND control);
    virtual ~ControlWrapper();

private:
    HWND control_;
};

// The wrapper attached to a control; null for a control without one.
ControlWrapper* WrapperOf(HWND control);

// A label whose text is drawn in a colour of the page's choosing.
class ColouredLabel final : public ControlWrapper {
public:
    explicit ColouredLabel(HWND label) : ControlWrapper(label) {}
    // Nothing: as the system draws text. Takes effect at the next paint.
    void SetColour(std::optional<COLORREF> colour) { colour_ = colour; }
    std::optional<COLORREF> TextColour() const override { return colour_; }

private:
    std::optional<COLORREF> colour_;
};

}  // namespace qm::ui
