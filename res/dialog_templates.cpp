// The dialog templates and the accelerator table of the tool.
#include "res/res.hpp"

namespace {

using K = ControlKind;

const std::vector<DialogTemplate>& Templates() {
    static const std::vector<DialogTemplate> templates = {
        {kDialogPort,
         0,
         0,
         153,
         66,
         9,
         false,
         {
             {K::GroupBox, 100, 3, 4, 92, 56, "Connect Port"},
             {K::RadioButton, kRadioAuto, 10, 16, 35, 10, "AUTO"},
             {K::RadioButton, kRadioCom1, 10, 30, 35, 10, "COM1"},
             {K::RadioButton, kRadioCom2, 10, 44, 35, 10, "COM2"},
             {K::RadioButton, kRadioCom3, 51, 16, 35, 10, "COM3"},
             {K::RadioButton, kRadioCom4, 51, 30, 35, 10, "COM4"},
             {K::DefaultButton, kDialogOk, 103, 27, 45, 14, "&OK"},
             {K::PushButton, kDialogQuit, 103, 45, 45, 14, "&Quit"},
         }},
        {kDialogWrongFile,
         80,
         70,
         159,
         61,
         9,
         false,
         {
             {K::CentredText, kTextControlId, 7, 7, 145, 30, ""},
             {K::DefaultButton, kDialogOk, 35, 43, 40, 14, "Continue"},
             {K::PushButton, kDialogQuit, 84, 43, 40, 14, "Quit"},
         }},
        {kDialogSelectionCancelled,
         80,
         70,
         185,
         53,
         9,
         false,
         {
             {K::CentredText, kTextControlId, 8, 7, 169, 20, ""},
             {K::DefaultButton, kDialogOk, 47, 35, 40, 14, "Continue"},
             {K::PushButton, kDialogQuit, 99, 35, 40, 14, "Quit"},
         }},
        {kDialogSuccess,
         70,
         70,
         185,
         67,
         9,
         false,
         {
             {K::CentredText, kTextControlId, 7, 8, 170, 33, ""},
             {K::DefaultButton, kDialogOk, 73, 48, 40, 14, "OK"},
         }},
        {kDialogImagesPresent,
         80,
         70,
         159,
         70,
         9,
         true,
         {
             {K::CentredText, kTextControlId, 7, 8, 145, 34, ""},
             {K::PushButton, kDialogQuit, 60, 50, 40, 16, "Quit"},
         }},
        {kDialogProgress,
         80,
         70,
         213,
         42,
         8,
         false,
         {
             {K::CentredText, kTextControlId, 4, 6, 178, 10, ""},
         }},
    };
    return templates;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : Templates()) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

const std::vector<DialogTemplate>& DialogTemplates() {
    return Templates();
}

const std::vector<Accelerator>& AcceleratorTable() {
    static const std::vector<Accelerator> table = {
        {Accelerator::kCtrl, 'N', kCommandNewDocument},
        {Accelerator::kCtrl, 'O', kCommandOpenDocument},
        {Accelerator::kCtrl, 'Q', kCommandCloseTool},
        {Accelerator::kNone, Accelerator::kKeyF6, kCommandNextPane},
        {Accelerator::kShift, Accelerator::kKeyF6, kCommandPrevPane},
    };
    return table;
}
