// The colours of every dialog: light grey (192, 192, 192) with black text.
#pragma once

class wxWindow;

void ApplyDialogColours(wxWindow* window);
