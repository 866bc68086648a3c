// A dialog built from one of the tool's templates: controls placed in dialog units, light grey
// background with black text, the title string as caption, centred over the view when it opens.
// Modal runs end with kDialogOk (the OK/Continue button, or Enter when no other button has the
// focus) or kDialogQuit (the Quit button, Escape or the close box).
#pragma once

#include <wx/dialog.h>

#include <string>

#include "res/res.hpp"

class CTemplateDialog : public wxDialog {
  public:
    // `templateId` must name an existing template.
    CTemplateDialog(wxWindow* parent, int templateId);

    // The toolkit identifier of a template control (1 and 2 are the OK and Cancel identifiers).
    static wxWindowID WindowIdFor(int controlId);
    wxWindow* Control(int controlId) const;
    // Sets a control's text; line breaks written as \r or \r\n become \n, and a centred text
    // control wraps its text to its width.
    void SetControlText(int controlId, const std::string& text);

  protected:
    // After the controls exist, before the dialog is centred.
    virtual void OnOpen() {}
    // The OK/Continue button (or Enter), before the dialog ends with kDialogOk.
    virtual void OnAccept() {}

  private:
    void CreateControls(const DialogTemplate& dialogTemplate);
    void HandleInit(wxInitDialogEvent& event);
    void HandleButton(wxCommandEvent& event);
    void HandleCharHook(wxKeyEvent& event);
    void HandleClose(wxCloseEvent& event);
    void ClickButton(wxWindowID id);
};
