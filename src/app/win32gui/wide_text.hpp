// Text as the controls of Windows show it (the conversions between the tool's UTF-8 and the W
// functions' UTF-16 are the app layer's: app/win32_utf8.hpp).
#pragma once

#include <string>
#include <string_view>

// A text as a Windows control shows it: each line break (\n, \r or \r\n) becomes \r\n.
std::string WithCrLf(std::string_view text);
