// The open-file dialog of the firmware file choice: only existing files; sized to fit the view
// and centred over it when it opens.
#pragma once

#include <wx/filedlg.h>

#include <string>

class CFirmwareFileDialog final : public wxFileDialog {
  public:
    // `filter` in the string table's form ("description|pattern||").
    CFirmwareFileDialog(wxWindow* parent, const std::string& filter,
                        const std::string& initialName);

  private:
    void HandleShow(wxShowEvent& event);
    // The toolkit sizes its dialog by the font and may make it larger than the screen: the
    // dialog is cut down to fit the view with a margin, then centred over it.
    void FitAndCenterOverView();
};
