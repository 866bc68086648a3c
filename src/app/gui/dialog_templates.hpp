// The dialog templates of the tool: sizes, positions and control rectangles in dialog units.
#pragma once

#include <vector>

enum class ControlKind {
    GroupBox,       // frame with a title
    RadioButton,    // automatic radio; the first of the dialog starts the group
    PushButton,     // normal push button
    DefaultButton,  // the default push button (Enter)
    CentredText,    // static text, centred in its rectangle, wrapped to its width
};

struct ControlTemplate {
    ControlKind kind;
    int id;
    int x, y, width, height;
    const char* text;
};

struct DialogTemplate {
    int id;
    int x, y, width, height;
    int fontPoints;   // Arial
    bool systemMenu;  // a close box
    std::vector<ControlTemplate> controls;
};

// The template with the given number (103, 104, 105, 107, 108, 112), or null.
const DialogTemplate* FindDialogTemplate(int id);

// The control of the dialogs that shows the dialog's text.
constexpr int kTextControlId = 100;
// The prompt bar's height in dialog units (its template is 300 x 14).
constexpr int kPromptBarHeightDlu = 14;
