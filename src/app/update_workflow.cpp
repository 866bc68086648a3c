// The update workflow: port choice, connection, camera inspection, file loop, transfer, result.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app.hpp"

namespace {

// Closes the link's port if it is still open, then deletes the link.
void ReleaseLink(std::unique_ptr<CCameraLink>& link) {
    if (link && link->IsPortOpen()) {
        link->ClosePort();
    }
    link.reset();
}

// The success text: the table's format filled with the file version, major first.
std::string FormatSuccessText(const std::string& format, int major, int minor) {
    const int length = std::snprintf(nullptr, 0, format.c_str(), major, minor);
    if (length < 0) {
        return format;
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(buffer.data(), buffer.size(), format.c_str(), major, minor);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

}  // namespace

void IUserInterface::ShowNotice(const std::string& text) {
    std::cerr << TerminalText(text);
    std::cerr.flush();
}

int ExitStatusFor(CFirmwareUpdater::Outcome outcome) {
    switch (outcome) {
        case CFirmwareUpdater::Outcome::Installed:
            return kExitInstalled;
        case CFirmwareUpdater::Outcome::Failed:
            return kExitFailed;
        case CFirmwareUpdater::Outcome::EndedByChoice:
            return kExitEndedByUser;
        case CFirmwareUpdater::Outcome::FileRefused:
            return kExitFileRefused;
        case CFirmwareUpdater::Outcome::CameraHoldsPictures:
            return kExitCameraHoldsPictures;
    }
    return kExitFailed;
}

std::optional<CFirmwareUpdater::Outcome> CFirmwareUpdater::ChooseUsableFile(FirmwareImage* image,
                                                                            int64_t* size) {
    const std::string& filterText = LoadString(kStrFilter);
    for (;;) {
        std::string path;
        const int16_t choice = ChooseFirmwareFile(true, &path, filterText);
        if (choice == kChooseCancelled) {
            m_ui.RepaintView();
            if (m_ui.RunTextDialog(kDialogSelectionCancelled, LoadString(kStrSelectionCanceled)) ==
                kDialogOk) {
                continue;
            }
            return Outcome::EndedByChoice;
        }
        if (choice != kChooseOk) {
            return Outcome::FileRefused;  // the file choice has shown its message
        }
        if (!LoadFirmwareFile(path, image, size)) {
            return Outcome::FileRefused;  // the loader has shown its message
        }
        // A file without the identification, or too short to hold the whole image, is refused
        // before anything is sent.
        const bool usable = CompareIdentification(image->bytes, kIdentificationText,
                                                  kIdentificationCompared) == 0 &&
                            *size >= static_cast<int64_t>(kFirmwareCompleteBytes) &&
                            image->IsComplete();
        if (!usable) {
            *image = FirmwareImage{};
            m_ui.RepaintView();
            if (m_ui.RunTextDialog(kDialogWrongFile, LoadString(kStrWrongFile)) == kDialogOk) {
                continue;
            }
            return Outcome::FileRefused;
        }
        return std::nullopt;
    }
}

CFirmwareUpdater::Outcome CFirmwareUpdater::RunUpdate() {
    const std::string& notFoundText = LoadString(kStrCameraNotFound);
    const std::string& failedText = LoadString(kStrUpdateFailed);
    m_viewRect = m_ui.ViewClientRect();

    // A file given ahead is checked before any port is opened.
    FirmwareImage image;
    int64_t size = 0;
    if (m_fileFirst) {
        if (const std::optional<Outcome> ended = ChooseUsableFile(&image, &size)) {
            return *ended;
        }
    }

    // Port choice. The dialog's OK has already put the searching prompt up.
    int16_t port = 0;
    if (m_ui.RunPortDialog(&port) != kDialogOk) {
        return Outcome::EndedByChoice;
    }

    // Connecting.
    m_ui.RepaintView();
    auto link = std::make_unique<CCameraLink>(m_ports);
    CameraIdText idText = {};
    CameraInfo information = {};
    CameraClockId clockAndIdentity = {};
    clockAndIdentity.text = &idText;
    int32_t alreadyInDownloadMode = 0;
    m_ui.BeginWaitCursor();
    {
        // A stop signal waits for the camera's answers, then ends the run with the port free.
        const CSignalsHeld held(ExchangeSection::Connect);
        link->Connect(port, kTransferSpeedCode, &information, &clockAndIdentity,
                      &alreadyInDownloadMode);
        m_ui.EndWaitCursor();
        if (held.Received() > 0) {
            ReleaseLink(link);
            held.EndRunIfReceived();
        }
    }
    if (link->GetResult() != 0) {
        const std::string reasons = PortsTriedReport(link->PortsTried(), m_portMap);
        ReleaseLink(link);
        ShowPrompt(PromptClear);  // the search is over: no "Searching for ..." under the message
        m_ui.ShowMessage(notFoundText, reasons);
        return Outcome::Failed;
    }
    // A port chosen although another program holds its device open (the search leaves such
    // ports alone): the update goes on, with a warning.
    if (const std::string warning = OtherHolderWarning(link->PortsTried(), m_portMap);
        !warning.empty()) {
        m_ui.ShowNotice(warning);
    }

    if (alreadyInDownloadMode != 0) {
        // The camera's ID, version and pictures are not known in download mode.
        ShowPrompt(PromptClear);
    } else {
        // Camera inspection.
        std::memcpy(m_cameraId.data(), idText.data(), kCameraIdLength);
        m_cameraId[kCameraIdLength] = '\0';
        const uint32_t digits = information.versionDigits;
        const auto digit = [digits](int shift) {
            return static_cast<int>((digits >> shift) & 0x0F);
        };
        m_cameraVersionMajor = static_cast<int16_t>(10 * digit(24) + digit(16));
        m_cameraVersionMinor = static_cast<int16_t>(10 * digit(8) + digit(0));
        m_cameraInfoValid = 1;
        ShowPrompt(PromptCameraInfo);
        if (information.totalPictures >= 1) {
            m_ui.RepaintView();
            m_ui.RunTextDialog(kDialogImagesPresent, LoadString(kStrImagesPresent));
            ReleaseLink(link);
            return Outcome::CameraHoldsPictures;
        }
    }

    // File loop, unless the file was checked first.
    if (!m_fileFirst) {
        if (const std::optional<Outcome> ended = ChooseUsableFile(&image, &size)) {
            ReleaseLink(link);
            return *ended;
        }
    }

    // Transferring.
    ReadFirmwareVersion(std::span<const uint8_t>(image.bytes).subspan(kFirmwareVersionOffset));
    m_ui.RepaintView();
    m_ui.BeginWaitCursor();
    const ProgressCallback progress = [this](int32_t stage, int32_t value, int32_t a, int32_t b) {
        return OnDownloadProgress(static_cast<uint32_t>(stage), value, a, b);
    };
    // From the end of the transfer on its result decides how the run ends, whatever stop request
    // comes; one acknowledged during the transfer ends the run once the result has been shown.
    std::optional<CResultShown> shown;
    int16_t result = 0;
    {
        // Stop signals end the transfer only between blocks, the way its own stop does.
        const CSignalsHeld held(ExchangeSection::Transfer);
        link->DownloadFirmware(image.Data(), progress);
        result = link->GetResult();
        shown.emplace(result == 0 ? kExitInstalled : kExitFailed, held.Received() > 0);
    }
    m_ui.EndWaitCursor();

    if (result != 0) {
        image = FirmwareImage{};
        const std::string reasons = PortFailureReport(link->PortsTried(), m_portMap);
        ReleaseLink(link);
        m_ui.ShowMessage(failedText, reasons);
        return Outcome::Failed;
    }
    m_ui.RunTextDialog(kDialogSuccess, FormatSuccessText(LoadString(kStrSuccess),
                                                         m_fileVersionMajor, m_fileVersionMinor));
    image = FirmwareImage{};
    ReleaseLink(link);
    return Outcome::Installed;
}
