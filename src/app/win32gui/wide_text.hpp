// Text between the tool (UTF-8 everywhere) and the W functions of Windows (UTF-16).
#pragma once

#include <string>
#include <string_view>

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// A text as a Windows control shows it: each line break (\n, \r or \r\n) becomes \r\n.
std::string WithCrLf(std::string_view text);
