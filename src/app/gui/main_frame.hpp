// The main window: title string, no menu bar, no close, minimise or maximise box, the prompt bar
// on top and the view below, covering the desktop's client area. It owns the update procedure
// object (g_pUpdater) for its lifetime.
#pragma once

#include <wx/frame.h>

#include <memory>

#include "app/gui/document.hpp"
#include "app/gui/view.hpp"
#include "serial/serial.hpp"

class CGuiUserInterface;
class CPromptBar;

class CMainFrame final : public wxFrame {
  public:
    CMainFrame(IPortSystem& ports, CTk358fwView::OutcomeSink onUpdateEnded);
    ~CMainFrame() override;

    CTk358fwView* View() const { return m_view; }

  private:
    void HandleCloseCommand(wxCommandEvent& event);
    void HandleClose(wxCloseEvent& event);
    void HandleNewDocument(wxCommandEvent& event);
    void HandleOpenDocument(wxCommandEvent& event);

    CTk358fwDoc m_document;
    CPromptBar* m_promptBar = nullptr;
    CTk358fwView* m_view = nullptr;
    std::unique_ptr<CGuiUserInterface> m_ui;
};
