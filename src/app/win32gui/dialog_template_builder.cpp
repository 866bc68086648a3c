#include "app/win32gui/dialog_template_builder.hpp"

#include "app/win32_utf8.hpp"
#include "app/win32gui/wide_text.hpp"

namespace {

// Predefined window classes in a dialog template, by their atoms.
constexpr WORD kButtonClassAtom = 0x0080;
constexpr WORD kStaticClassAtom = 0x0082;
constexpr wchar_t kDialogFace[] = L"Arial";

bool IsButton(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::DefaultButton;
}

}  // namespace

DWORD ControlStyle(ControlKind kind) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::GroupBox:
            return child | BS_GROUPBOX;
        case ControlKind::RadioButton:
            return child | BS_AUTORADIOBUTTON;
        case ControlKind::PushButton:
            return child | WS_TABSTOP | BS_PUSHBUTTON;
        case ControlKind::DefaultButton:
            return child | WS_TABSTOP | BS_DEFPUSHBUTTON;
        case ControlKind::CentredText:
            return child | SS_CENTER | SS_NOPREFIX;
    }
    return child;
}

CDialogTemplateMemory::CDialogTemplateMemory(const DialogTemplate& dialog,
                                             std::wstring_view caption) {
    DWORD style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT;
    if (dialog.systemMenu) {
        style |= WS_SYSMENU;
    }
    AddDword(style);
    AddDword(0);  // extended style
    Add(static_cast<WORD>(dialog.controls.size()));
    Add(static_cast<WORD>(dialog.x));
    Add(static_cast<WORD>(dialog.y));
    Add(static_cast<WORD>(dialog.width));
    Add(static_cast<WORD>(dialog.height));
    Add(0);  // no menu
    Add(0);  // the dialog class
    AddText(caption);
    Add(static_cast<WORD>(dialog.fontPoints));
    AddText(kDialogFace);

    bool firstRadio = true;
    bool firstButton = true;
    for (const ControlTemplate& c : dialog.controls) {
        AlignToDword();
        DWORD controlStyle = ControlStyle(c.kind);
        if (c.kind == ControlKind::RadioButton && firstRadio) {
            controlStyle |= WS_GROUP | WS_TABSTOP;
            firstRadio = false;
        }
        if (IsButton(c.kind) && firstButton) {
            controlStyle |= WS_GROUP;
            firstButton = false;
        }
        AddDword(controlStyle);
        AddDword(0);
        Add(static_cast<WORD>(c.x));
        Add(static_cast<WORD>(c.y));
        Add(static_cast<WORD>(c.width));
        Add(static_cast<WORD>(c.height));
        Add(static_cast<WORD>(c.id));
        Add(0xFFFF);
        Add(c.kind == ControlKind::CentredText ? kStaticClassAtom : kButtonClassAtom);
        AddText(win32_utf8::ToWide(c.text));
        Add(0);  // no creation data
    }
}

void CDialogTemplateMemory::AddDword(DWORD value) {
    Add(LOWORD(value));
    Add(HIWORD(value));
}

void CDialogTemplateMemory::AddText(std::wstring_view text) {
    for (wchar_t c : text) {
        Add(static_cast<WORD>(c));
    }
    Add(0);
}

void CDialogTemplateMemory::AlignToDword() {
    if (m_words.size() % 2 != 0) {
        Add(0);
    }
}
