// Dialog 107: the choice of the communication port (AUTO preselected).
#pragma once

#include <cstdint>

#include "app/gui/template_dialog.hpp"

class CPortDialog final : public CTemplateDialog {
  public:
    explicit CPortDialog(wxWindow* parent);

    // 0 for AUTO, 1 to 4 for COM1 to COM4; read after the dialog ended with kDialogOk.
    int16_t m_port = 0;

  private:
    void OnOpen() override;
    void OnAccept() override;
};
