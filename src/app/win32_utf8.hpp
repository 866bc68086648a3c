// The program's UTF-8 text and Windows' UTF-16, converted both ways (the app layer's own).
#pragma once

#include <string>
#include <string_view>

namespace win32_utf8 {

std::wstring ToWide(std::string_view utf8);
std::string FromWide(std::wstring_view wide);

}  // namespace win32_utf8
