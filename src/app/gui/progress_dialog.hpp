// The modeless progress window (template 108): the stage text in control 100 and, below it, the
// frame, bar and percentage figure. The picture is composed in memory by ShowProgress and shown
// by a picture control along the bottom of the window, which the toolkit paints whenever needed
// (so it also survives being covered and uncovered).
#pragma once

#include <wx/statbmp.h>
#include <wx/weakref.h>

#include <cstdint>

#include "app/app.hpp"
#include "app/gui/template_dialog.hpp"
#include "res/res.hpp"

class CProgressDialog final : public CTemplateDialog {
  public:
    // Creates and shows the window, centred over the view.
    explicit CProgressDialog(wxWindow* parent);

    // Sets the text (when not null), composes frame, bar and figure, and lets the window paint
    // them before it returns.
    void ShowProgress(uint32_t stage, int16_t percent, const char* text);

    // The composed picture of the client area.
    const Picture& Canvas() const { return m_canvas; }

  private:
    Picture m_canvas;
    wxStaticBitmap* m_picture = nullptr;  // shows the bottom rows of the canvas
    std::string m_text;
};

// The progress window as the update procedure object holds it.
class CProgressWindow final : public IProgressWindow {
  public:
    explicit CProgressWindow(CProgressDialog* dialog) : m_dialog(dialog) {}
    ~CProgressWindow() override { CloseProgress(); }
    CProgressWindow(const CProgressWindow&) = delete;
    CProgressWindow& operator=(const CProgressWindow&) = delete;

    void ShowProgress(uint32_t stage, int16_t percent, const char* text) override;
    void CloseProgress() override;

  private:
    wxWeakRef<CProgressDialog> m_dialog;
};
