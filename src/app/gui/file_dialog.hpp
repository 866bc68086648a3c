// The open-file dialog of the firmware file choice: only existing files, centred over the view
// when it opens.
#pragma once

#include <wx/filedlg.h>

#include <string>

class CFirmwareFileDialog final : public wxFileDialog {
  public:
    // `filter` in the string table's form ("description|pattern||").
    CFirmwareFileDialog(wxWindow* parent, const std::string& filter,
                        const std::string& initialName);

  private:
    void HandleInit(wxInitDialogEvent& event);
    void CenterOverView();
};
