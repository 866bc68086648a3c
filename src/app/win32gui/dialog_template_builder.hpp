// A dialog template of the tool (res) as the in-memory DLGTEMPLATE that DialogBoxIndirectParamW
// and CreateDialogIndirectParamW take: a popup with a caption and a modal frame, visible when
// created, Arial at the template's size, a close box only where the template has one; group box,
// automatic radio buttons (the first starts the group and is the tab stop), push buttons (the
// first after the radio buttons starts a new group; the default one is BS_DEFPUSHBUTTON) and
// centred, wrapping static texts.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <string_view>
#include <vector>

#include "res/res.hpp"

class CDialogTemplateMemory {
  public:
    CDialogTemplateMemory(const DialogTemplate& dialog, std::wstring_view caption);
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

  private:
    void Add(WORD word) { m_words.push_back(word); }
    void AddDword(DWORD value);
    void AddText(std::wstring_view text);
    void AlignToDword();

    // WORD units from a heap block, which is aligned for DWORDs.
    std::vector<WORD> m_words;
};

// The window class and style a control of the given kind is created with.
DWORD ControlStyle(ControlKind kind);
