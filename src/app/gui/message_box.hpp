// The message facility: a beep, then a box with the text (and the extended text under it, when
// not empty), the title string, one OK button and the information icon, owned by `owner` (may be
// null). With a `document`, a second button opens that file with the desktop's default program
// and the box comes back until OK is pressed. Returns when the user dismissed it with OK.
#pragma once

#include <string>

class wxWindow;

void ShowMessageBox(wxWindow* owner, const std::string& text, const std::string& extendedText,
                    const std::string& document = {});
