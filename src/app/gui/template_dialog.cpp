#include "app/gui/template_dialog.hpp"

#include <algorithm>

#include <wx/button.h>

#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/app.hpp"
#include "app/gui/dialog_colours.hpp"
#include "app/gui/dialog_font.hpp"
#include "app/gui/placeable_window.hpp"
#include "app/gui/radio_look.hpp"

namespace {

long StyleFor(const DialogTemplate& t) {
    long style = wxCAPTION;
    if (t.systemMenu) {
        style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    }
    return style;
}

std::string WithLineFeeds(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// Some toolkit controls (radio buttons) cannot be smaller than their theme allows; such a control
// grows as needed and keeps its template rectangle's vertical centre.
void KeepToolkitMinimumSize(wxWindow* control, wxPoint pos, wxSize size) {
    if (dynamic_cast<wxRadioButton*>(control) == nullptr) {
        return;
    }
    const wxSize best = control->GetBestSize();
    const int width = std::max(size.GetWidth(), best.GetWidth());
    const int height = std::max(size.GetHeight(), best.GetHeight());
    control->SetSize(pos.x, pos.y - (height - size.GetHeight()) / 2, width, height);
}

}  // namespace

wxWindowID CTemplateDialog::WindowIdFor(int controlId) {
    if (controlId == kDialogOk) {
        return wxID_OK;
    }
    if (controlId == kDialogQuit) {
        return wxID_CANCEL;
    }
    return controlId;
}

CTemplateDialog::CTemplateDialog(wxWindow* parent, int templateId) {
    const DialogTemplate* t = FindDialogTemplate(templateId);
    const std::string& title = LoadString(kStrTitle);
    Create(parent, wxID_ANY, wxString::FromUTF8(title), wxDefaultPosition, wxDefaultSize,
           t != nullptr ? StyleFor(*t) : wxCAPTION);
    if (t == nullptr) {
        return;
    }
    SetFont(DialogFont(t->fontPoints));
    ApplyDialogColours(this);
    SetClientSize(ConvertDialogToPixels(wxSize(t->width, t->height)));
    wxPoint origin = ConvertDialogToPixels(wxPoint(t->x, t->y));
    if (parent != nullptr) {
        origin = parent->ClientToScreen(origin);
    }
    Move(origin);
    CreateControls(*t);

    Bind(wxEVT_INIT_DIALOG, &CTemplateDialog::HandleInit, this);
    Bind(wxEVT_BUTTON, &CTemplateDialog::HandleButton, this);
    Bind(wxEVT_CHAR_HOOK, &CTemplateDialog::HandleCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CTemplateDialog::HandleClose, this);
}

void CTemplateDialog::CreateControls(const DialogTemplate& t) {
    bool firstRadio = true;
    for (const ControlTemplate& c : t.controls) {
        const wxPoint pos = ConvertDialogToPixels(wxPoint(c.x, c.y));
        const wxSize size = ConvertDialogToPixels(wxSize(c.width, c.height));
        const wxWindowID id = WindowIdFor(c.id);
        const wxString text = wxString::FromUTF8(c.text);
        wxWindow* control = nullptr;
        switch (c.kind) {
            case ControlKind::GroupBox:
                control = new wxStaticBox(this, id, text, pos, size);
                break;
            case ControlKind::RadioButton:
                // Created at its natural size first: the theme may not allow it as small as the
                // template says (KeepToolkitMinimumSize below).
                control = new wxRadioButton(this, id, text, pos, wxDefaultSize,
                                            firstRadio ? wxRB_GROUP : 0);
                firstRadio = false;
                break;
            case ControlKind::PushButton:
            case ControlKind::DefaultButton: {
                auto* button = new wxButton(this, id, text, pos, size);
                if (c.kind == ControlKind::DefaultButton) {
                    button->SetDefault();
                }
                control = button;
                break;
            }
            case ControlKind::CentredText:
                control = new wxStaticText(this, id, text, pos, size,
                                           wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
                break;
        }
        KeepToolkitMinimumSize(control, pos, size);
        ApplyDialogColours(control);
        if (auto* radio = dynamic_cast<wxRadioButton*>(control)) {
            MakeRadioRingVisible(*radio);  // after the colours, which would cover its circle
        }
    }
}

wxWindow* CTemplateDialog::Control(int controlId) const {
    return FindWindow(WindowIdFor(controlId));
}

void CTemplateDialog::SetControlText(int controlId, const std::string& text) {
    wxWindow* control = Control(controlId);
    if (control == nullptr) {
        return;
    }
    control->SetLabel(wxString::FromUTF8(WithLineFeeds(text)));
    if (auto* label = dynamic_cast<wxStaticText*>(control)) {
        label->Wrap(label->GetSize().GetWidth());
    }
}

void CTemplateDialog::HandleInit(wxInitDialogEvent& event) {
    event.Skip();
    OnOpen();
    if (g_pUpdater != nullptr) {
        CPlaceableWindow placeable(*this);
        g_pUpdater->CenterInView(&placeable);
    }
}

void CTemplateDialog::HandleButton(wxCommandEvent& event) {
    if (!IsModal()) {
        event.Skip();
        return;
    }
    if (event.GetId() == wxID_OK) {
        OnAccept();
        EndModal(kDialogOk);
    } else if (event.GetId() == wxID_CANCEL) {
        EndModal(kDialogQuit);
    } else {
        event.Skip();
    }
}

void CTemplateDialog::ClickButton(wxWindowID id) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(this);
    HandleButton(click);
}

void CTemplateDialog::HandleCharHook(wxKeyEvent& event) {
    if (!IsModal()) {
        return;  // the progress window takes no keys
    }
    switch (event.GetKeyCode()) {
        case WXK_ESCAPE:
            ClickButton(wxID_CANCEL);
            return;
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER: {
            // Enter presses the button that has the focus, otherwise the default (OK) button.
            wxWindow* focus = FindFocus();
            auto* button = dynamic_cast<wxButton*>(focus);
            ClickButton(button != nullptr && button->GetParent() == this ? button->GetId()
                                                                         : wxID_OK);
            return;
        }
        default:
            event.Skip();
    }
}

void CTemplateDialog::HandleClose(wxCloseEvent& event) {
    if (IsModal()) {
        EndModal(kDialogQuit);
    } else if (event.CanVeto()) {
        event.Veto();
    }
}
