// The dialogs that show one text in control 100: 103 (wrong file), 104 (success), 105 (selection
// cancelled) and 112 (pictures in the camera).
#pragma once

#include <string>

#include "app/win32gui/template_dialog.hpp"

class CTextDialog final : public CTemplateDialog {
  public:
    CTextDialog(DialogId dialog, std::string text)
        : CTemplateDialog(dialog), m_text(std::move(text)) {}

  private:
    void OnOpen() override { SetControlText(kTextControlId, m_text); }

    std::string m_text;
};

// Whether `dialog` is one of the text dialogs.
bool IsTextDialog(int dialog);
