// The workflow's dialogs that show one text: 103 wrong file, 105 selection cancelled, 104
// success and 112 pictures in the camera.
#pragma once

#include <memory>
#include <string>

#include "app/gui/template_dialog.hpp"

class CTextDialog : public CTemplateDialog {
  public:
    CTextDialog(wxWindow* parent, int templateId, std::string text)
        : CTemplateDialog(parent, templateId), m_text(std::move(text)) {}

  private:
    void OnOpen() override { SetControlText(kTextControlId, m_text); }
    std::string m_text;
};

class CWrongFileDialog final : public CTextDialog {
  public:
    CWrongFileDialog(wxWindow* parent, std::string text);
};

class CSelectionCancelledDialog final : public CTextDialog {
  public:
    CSelectionCancelledDialog(wxWindow* parent, std::string text);
};

class CSuccessDialog final : public CTextDialog {
  public:
    CSuccessDialog(wxWindow* parent, std::string text);
};

class CImagesPresentDialog final : public CTextDialog {
  public:
    CImagesPresentDialog(wxWindow* parent, std::string text);
};

// The dialog for `templateId` (103, 104, 105 or 112) with its text, or null for another number.
std::unique_ptr<CTextDialog> MakeTextDialog(wxWindow* parent, int templateId, std::string text);
