// The message facility: a beep, then a box with the text, the title string, one OK button and
// the information icon, owned by `owner` (may be null). Returns when the user dismissed it.
#pragma once

#include <string>

class wxWindow;

void ShowMessageBox(wxWindow* owner, const std::string& text);
