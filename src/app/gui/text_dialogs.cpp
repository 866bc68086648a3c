#include "app/gui/text_dialogs.hpp"

#include "app/app.hpp"

CWrongFileDialog::CWrongFileDialog(wxWindow* parent, std::string text)
    : CTextDialog(parent, kDialogWrongFile, std::move(text)) {}

CSelectionCancelledDialog::CSelectionCancelledDialog(wxWindow* parent, std::string text)
    : CTextDialog(parent, kDialogSelectionCancelled, std::move(text)) {}

CSuccessDialog::CSuccessDialog(wxWindow* parent, std::string text)
    : CTextDialog(parent, kDialogSuccess, std::move(text)) {}

CImagesPresentDialog::CImagesPresentDialog(wxWindow* parent, std::string text)
    : CTextDialog(parent, kDialogImagesPresent, std::move(text)) {}

std::unique_ptr<CTextDialog> MakeTextDialog(wxWindow* parent, int templateId, std::string text) {
    switch (templateId) {
        case kDialogWrongFile:
            return std::make_unique<CWrongFileDialog>(parent, std::move(text));
        case kDialogSelectionCancelled:
            return std::make_unique<CSelectionCancelledDialog>(parent, std::move(text));
        case kDialogSuccess:
            return std::make_unique<CSuccessDialog>(parent, std::move(text));
        case kDialogImagesPresent:
            return std::make_unique<CImagesPresentDialog>(parent, std::move(text));
        default:
            return nullptr;
    }
}
