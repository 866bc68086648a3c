// The message facility: a beep, then a box with the text (and the extended text under it, when
// not empty), the title string, one OK button and the information icon, owned by `owner` (may be
// null). Returns when the user dismissed it.
#pragma once

#include <string>

class wxWindow;

void ShowMessageBox(wxWindow* owner, const std::string& text, const std::string& extendedText);
