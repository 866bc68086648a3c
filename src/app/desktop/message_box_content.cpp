// What a desktop message box shows under its text, and the document it offers to open.
#include "app/app.hpp"
#include "app/desktop/desktop.hpp"

MessageBoxContent DesktopMessageBox(const std::string& text, const std::string& extendedText,
                                    const std::string& retryProcedure) {
    if (text != LoadString(kStrUpdateFailed) || retryProcedure.empty()) {
        return {extendedText, {}};
    }
    std::string shown = "The retry procedure: " + retryProcedure + "\n";
    if (!extendedText.empty()) {
        shown += "\n" + extendedText;
    }
    return {shown, retryProcedure};
}
