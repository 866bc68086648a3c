// The transfer's progress callback: opens, draws and closes the progress window, and stops the
// transfer after a block when stop signals ask for it.
#include "app/app.hpp"

int32_t CFirmwareUpdater::OnDownloadProgress(uint32_t stage, int32_t value, int32_t, int32_t) {
    // Only after a block: the transfer then writes the fixed parameters and closes the port.
    const int32_t goOn = stage == 1 && TransferStopRequested() ? 0 : 1;
    if (stage == 0) {
        m_pProgressDialog = m_ui.CreateProgressWindow();
        m_progressOpen = 1;
    }
    if (!m_pProgressDialog) {
        return goOn;
    }
    if (stage <= 3) {
        const char* text = kProgressRunning;
        if (stage == 2) {
            text = kProgressCompleted;
        } else if (stage == 3) {
            text = kProgressFailed;
        }
        m_pProgressDialog->ShowProgress(stage, static_cast<int16_t>(value), text);
    }
    if (stage == 2 || stage == 3) {
        // The final state stays visible for one second; the pause blocks like every other wait.
        DelayMs(1000);
        m_pProgressDialog->CloseProgress();
        if (m_progressOpen != 0) {
            m_pProgressDialog.reset();
            m_progressOpen = 0;
        }
    }
    return goOn;
}
