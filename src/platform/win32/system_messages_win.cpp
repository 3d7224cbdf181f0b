#include "platform/win32/system_inspection_win.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

namespace qm::win32 {

std::optional<std::string> Win32SystemMessages::MessageOf(std::uint32_t code) {
    wchar_t text[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, static_cast<DWORD>(std::size(text)), nullptr);
    if (length == 0) return std::nullopt;
    return Narrow(std::wstring_view(text, length));
}

}  // namespace qm::win32
