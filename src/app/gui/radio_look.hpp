// Radio buttons that look selectable on the dialogs' grey: the toolkit's default theme draws the
// ring of an unselected button in a grey close to the dialog's own.
#pragma once

class wxRadioButton;

// Gives the button a white circle with a dark ring (as on a classic grey dialog), its dot as the
// theme draws it.
void MakeRadioRingVisible(wxRadioButton& radio);
