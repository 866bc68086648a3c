#include "app/win32gui/text_dialog.hpp"

bool IsTextDialog(int dialog) {
    switch (dialog) {
        case kDialogWrongFile:
        case kDialogSuccess:
        case kDialogSelectionCancelled:
        case kDialogImagesPresent:
            return true;
        default:
            return false;
    }
}
