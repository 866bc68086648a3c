// A dialog built from one of the tool's templates: light grey background with black text, the
// title string as caption, centred over the view when it opens. A modal run ends with kDialogOk
// (the default OK/Continue button, or Enter) or kDialogQuit (the Quit button, Escape or the close
// box).
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <string>

#include "res/res.hpp"

class CTemplateDialog {
  public:
    explicit CTemplateDialog(int templateId) : m_templateId(templateId) {}
    virtual ~CTemplateDialog();
    CTemplateDialog(const CTemplateDialog&) = delete;
    CTemplateDialog& operator=(const CTemplateDialog&) = delete;

    // Runs the dialog modally, owned by `owner`; kDialogQuit also when it cannot be created.
    int RunModal(HWND owner);
    // Creates the dialog modeless and shown, owned by `owner`; false when it cannot be created.
    // The window is destroyed with this object at the latest.
    bool CreateModeless(HWND owner);
    void Destroy();

    HWND Window() const { return m_window; }
    // Sets a control's text (UTF-8; line breaks as the control shows them).
    void SetControlText(int controlId, const std::string& text);

  protected:
    // After the controls exist, before the dialog is centred.
    virtual void OnOpen() {}
    // The OK/Continue button (or Enter), before a modal run ends with kDialogOk.
    virtual void OnAccept() {}
    // Any other message; true when handled, with the dialog procedure's result.
    virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return false; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void EndModal(int result);

    int m_templateId;
    HWND m_window = nullptr;
    bool m_modal = false;
};

// The dialogs' background colour (red, green and blue 192).
constexpr COLORREF kDialogGrey = RGB(192, 192, 192);
