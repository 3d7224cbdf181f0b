#pragma once

#include <string_view>

namespace qm::ui {

// The application title: the owner window's text, the main window's caption
// and the caption of the error box and the plain message dialog.
inline constexpr std::string_view kApplicationTitle = "Quillmate";

// The caption of every information box.
inline constexpr std::string_view kInformationCaption = "提示";

}  // namespace qm::ui
