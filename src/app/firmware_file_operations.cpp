// The updater's firmware file operations: choosing, loading, checking and reading the version.
#include "app/app.hpp"

void CFirmwareUpdater::ReadFirmwareVersion(std::span<const uint8_t> digits) {
    ParseFirmwareVersion(digits, &m_fileVersionMajor, &m_fileVersionMinor);
}

int16_t CFirmwareUpdater::CompareIdentification(std::span<const uint8_t> image, const char* text,
                                                int count) {
    return ::CompareIdentification(image, text, count);
}

int16_t CFirmwareUpdater::ChooseFirmwareFile(bool /*openDialog*/, std::string* path,
                                             const std::string& filter) {
    // Only an open-file dialog exists; `openDialog` is always set by the workflow.
    const std::string initialName = InitialNameFromFilter(filter);
    std::string chosen;
    const int16_t code = m_ui.ChooseFile(filter, initialName, &chosen);
    if (code == kChooseOk) {
        *path = chosen;
        return kChooseOk;
    }
    if (code == kChooseCancelled) {
        return kChooseCancelled;
    }
    m_ui.ShowMessage(LoadString(kStrFileNotFound), {});
    return kChooseDialogFailed;
}

bool CFirmwareUpdater::LoadFirmwareFile(const std::string& path, FirmwareImage* image,
                                        int64_t* size) {
    m_ui.BeginWaitCursor();
    const LoadOutcome outcome = ::LoadFirmwareFile(path, image, size);
    m_ui.EndWaitCursor();
    if (outcome != LoadOutcome::Loaded) {
        m_ui.ShowMessage(LoadString(kStrFileError), {});
        return false;
    }
    return true;
}
