// The tool's message box: the simple beep, the title string, the text with the information icon,
// one OK button, owned by the main window. The extended text (what lies behind the message) is
// shown below the text; with a document to open, a second button opens it with the program
// Windows has for it, and the box stays.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <string>

void ShowMessageBox(HWND owner, const std::string& text, const std::string& extendedText,
                    const std::string& document);

// The button that opens the document.
constexpr int kOpenDocumentButton = 100;
constexpr wchar_t kOpenDocumentCaption[] = L"Open the retry procedure";
