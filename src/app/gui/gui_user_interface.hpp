// The desktop implementation of the update's user-interface seam.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "app/app.hpp"

class wxWindow;

class CGuiUserInterface final : public IUserInterface {
  public:
    // `owner` owns every dialog; `view` is the window the dialogs are centred over.
    CGuiUserInterface(wxWindow* owner, wxWindow* view) : m_owner(owner), m_view(view) {}

    // The retry procedure's file, named and offered under the message of a failed transfer
    // (empty: none).
    void SetRetryProcedure(std::string path) { m_retryProcedure = std::move(path); }

    ViewRect ViewClientRect() override;
    void RepaintView() override;
    int RunPortDialog(int16_t* port) override;
    int RunTextDialog(DialogId dialog, const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& extendedText) override;
    int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                       std::string* path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override;

  private:
    wxWindow* m_owner;
    wxWindow* m_view;
    std::string m_retryProcedure;
};
