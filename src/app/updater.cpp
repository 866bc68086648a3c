// The update procedure object: the prompt line, centring dialogs over the view, and the small
// byte helpers.
#include <string>

#include "app/app.hpp"

CFirmwareUpdater* g_pUpdater = nullptr;

CFirmwareUpdater::CFirmwareUpdater(IUserInterface& ui, IPortSystem& ports)
    : m_ui(ui), m_ports(ports), m_portMap(ports.Ports()) {}

CFirmwareUpdater::~CFirmwareUpdater() = default;

void CFirmwareUpdater::ShowPrompt(int16_t mode) {
    m_promptText.clear();
    switch (mode) {
        case PromptSelectPort:
            m_promptText = LoadString(kStrSelectPort);
            break;
        case PromptSearching:
            m_promptText = LoadString(kStrSearching);
            break;
        case PromptCameraInfo:
            if (m_cameraInfoValid != 0) {
                m_promptText = LoadString(kStrCameraId);
                m_promptText += ": ";
                m_promptText += m_cameraId.data();  // byte 33 is always 0
                m_promptText += "     ";
                m_promptText += LoadString(kStrFirmwareVersion);
                m_promptText += ": " + std::to_string(m_cameraVersionMajor) + ".";
                m_promptText += m_cameraVersionMinor != 0 ? std::to_string(m_cameraVersionMinor)
                                                          : std::string("0");
            }
            break;
        default:  // PromptClear and every other mode leave the line empty
            break;
    }
    if (m_pPromptBar != nullptr) {
        m_pPromptBar->Repaint();
    }
}

void CFirmwareUpdater::CenterInView(IPlaceableWindow* window) {
    if (window == nullptr) {
        return;
    }
    int32_t width = 0;
    int32_t height = 0;
    window->GetOuterSize(&width, &height);
    // Integer halving truncates toward zero; a dialog larger than the view stays at its edge.
    int32_t left = m_viewRect.Width() / 2 - width / 2;
    int32_t top = m_viewRect.Height() / 2 - height / 2;
    if (left < 0) {
        left = 0;
    }
    if (top < 0) {
        top = 0;
    }
    window->MoveTo(left, top);
}

uint16_t CFirmwareUpdater::ReadWordBigEndian(const uint8_t* bytes) {
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}
