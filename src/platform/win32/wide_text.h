#pragma once

#include <string>
#include <string_view>

namespace qm::win32 {

// The program keeps text as UTF-8; Windows is called through its wide API.
// These two are the only conversions between the two.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace qm::win32
