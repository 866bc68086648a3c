#include "app/gui/main_frame.hpp"

#include <wx/accel.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/icon.h>
#include <wx/sizer.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app.hpp"
#include "app/gui/gui_user_interface.hpp"
#include "app/gui/picture_bitmap.hpp"
#include "app/gui/prompt_bar.hpp"

CMainFrame::CMainFrame(IPortSystem& ports, CTk358fwView::OutcomeSink onUpdateEnded)
    : wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(LoadString(kStrTitle)), wxDefaultPosition,
              wxSize(kMainWindowWidth, kMainWindowHeight), wxCAPTION | wxRESIZE_BORDER) {
    wxIcon icon;
    icon.CopyFromBitmap(BitmapFromPicture(IconPicture()));
    SetIcon(icon);

    m_promptBar = new CPromptBar(this);
    m_view = new CTk358fwView(this, std::move(onUpdateEnded));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_promptBar, 0, wxEXPAND);
    sizer->Add(m_view, 1, wxEXPAND);
    SetSizer(sizer);

    m_ui = std::make_unique<CGuiUserInterface>(this, m_view);
    const std::filesystem::path program = RunningProgram();
    m_ui->SetRetryProcedure(program.empty() ? std::string() : InstalledRetryProcedure(program));
    g_pUpdater = nullptr;
    g_pUpdater = new CFirmwareUpdater(*m_ui, ports);
    g_pUpdater->m_pPromptBar = m_promptBar;
    g_pUpdater->ShowPrompt(PromptSelectPort);

    std::vector<wxAcceleratorEntry> keys;
    for (const Accelerator& key : AcceleratorTable()) {
        const int flags = ((key.modifiers & Accelerator::kCtrl) != 0 ? wxACCEL_CTRL : 0) |
                          ((key.modifiers & Accelerator::kShift) != 0 ? wxACCEL_SHIFT : 0);
        keys.emplace_back(flags, key.key == Accelerator::kKeyF6 ? WXK_F6 : key.key, key.command);
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));
    Bind(wxEVT_MENU, &CMainFrame::HandleCloseCommand, this, kCommandCloseTool);
    Bind(wxEVT_MENU, &CMainFrame::HandleNewDocument, this, kCommandNewDocument);
    Bind(wxEVT_MENU, &CMainFrame::HandleOpenDocument, this, kCommandOpenDocument);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::HandleClose, this);
    // F6 and Shift+F6 move between panes; with one pane they do nothing.
    Bind(
        wxEVT_MENU, [](wxCommandEvent&) {}, kCommandNextPane, kCommandPrevPane);

    const int display = wxDisplay::GetFromWindow(this);
    const wxRect area =
        wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea();
    SetSize(area);
    Layout();
    m_view->SetFocus();
    Refresh();
}

CMainFrame::~CMainFrame() {
    if (g_pUpdater != nullptr) {
        delete g_pUpdater;
        g_pUpdater = nullptr;
    }
}

void CMainFrame::HandleCloseCommand(wxCommandEvent& /*event*/) {
    Destroy();
}

void CMainFrame::HandleClose(wxCloseEvent& event) {
    // The update runs inside the view's timer event; the window cannot go away under it.
    if (m_view->IsUpdateRunning() && event.CanVeto()) {
        event.Veto();
        return;
    }
    Destroy();
}

void CMainFrame::HandleNewDocument(wxCommandEvent& /*event*/) {
    if (m_document.OnNewDocument()) {
        m_view->OnInitialUpdate();
    }
}

void CMainFrame::HandleOpenDocument(wxCommandEvent& /*event*/) {
    wxFileDialog dialog(this, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                        wxFileSelectorDefaultWildcardStr, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    dialog.ShowModal();  // the document reads nothing
}
