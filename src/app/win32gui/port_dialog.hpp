// The port dialog (template 107): AUTO preselected, each COM button with a tooltip naming the
// device it stands for; OK stores the checked port (0 AUTO, 1 to 4) and shows the searching
// prompt.
#pragma once

#include <cstdint>

#include "app/win32gui/template_dialog.hpp"

class CPortDialog final : public CTemplateDialog {
  public:
    CPortDialog() : CTemplateDialog(kDialogPort) {}
    int16_t m_port = 0;

    // The tooltip window of the COM buttons while the dialog is open.
    HWND ToolTips() const { return m_toolTips; }

  private:
    void OnOpen() override;
    void OnAccept() override;

    HWND m_toolTips = nullptr;
};
