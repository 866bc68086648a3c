// The modeless progress window (template 108): the stage text in control 100 and, below it, the
// frame, bar and percentage figure, composed in memory and copied to the window. The window keeps
// the picture and paints it again whenever it is uncovered.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/app.hpp"
#include "app/win32gui/template_dialog.hpp"

class CProgressDialog final : public CTemplateDialog {
  public:
    CProgressDialog() : CTemplateDialog(kDialogProgress) {}

    // Sets the text (when not null and changed), composes frame, bar and figure and draws them.
    void ShowProgress(int16_t percent, const char* text);
    // The composed picture of the client area.
    const Picture& Canvas() const { return m_canvas; }

  private:
    void OnOpen() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawPicture(HDC dc) const;

    Picture m_canvas;
    std::string m_text;
};

// The progress window as the update procedure object holds it.
class CProgressWindow final : public IProgressWindow {
  public:
    explicit CProgressWindow(std::unique_ptr<CProgressDialog> dialog)
        : m_dialog(std::move(dialog)) {}

    void ShowProgress(uint32_t stage, int16_t percent, const char* text) override;
    void CloseProgress() override;

  private:
    std::unique_ptr<CProgressDialog> m_dialog;
};
