// Normal-mode commands: speed, status request, clock, ID, the switch to download mode, and the
// picture-store commands (planned in camera_stores.cpp).
#include <algorithm>
#include <iterator>
#include <string>

#include "sim/camera_impl.hpp"

namespace sim {

uint32_t BaudForSpeedDigits(uint8_t high, uint8_t low) {
    struct Entry {
        uint8_t high;
        uint8_t low;
        uint32_t baud;
    };
    static constexpr Entry kTable[] = {
        {0x96, 0x00, 9600},  {0x19, 0x20, 19200},  {0x38, 0x40, 38400},
        {0x57, 0x60, 57600}, {0x11, 0x52, 115200}, {0x23, 0x04, 230400},
    };
    const auto* found = std::find_if(std::begin(kTable), std::end(kTable), [=](const Entry& e) {
        return e.high == high && e.low == low;
    });
    return found != std::end(kTable) ? found->baud : 0;
}

// 0x41: acknowledged, then the line changes speed as soon as the acknowledgement has left; there
// is no completion byte. Unknown digits are refused.
CommandPlan VirtualCamera::Impl::PlanSpeed(const CommandPacket& p) {
    const uint32_t baud = BaudForSpeedDigits(p[2], p[3]);
    if (baud == 0) {
        return CommandPlan::Refused();
    }
    CommandPlan plan;
    plan.baudAfterAck = baud;
    plan.completes = false;
    return plan;
}

CommandPlan VirtualCamera::Impl::PlanNormal(const CommandPacket& p) {
    switch (p[0]) {
        case 0x41:
            return PlanSpeed(p);
        case 0x7F: {
            CommandPlan plan;
            plan.data = CommandPlan::Data::ToHost;
            const auto block = cam.BuildStatusBlock();
            plan.toHost.assign(block.begin(), block.end());
            plan.frameLength = 257;
            return plan;
        }
        case 0x75: {
            CommandPlan plan;
            const uint32_t clock = (uint32_t{p[2]} << 24) | (uint32_t{p[3]} << 16) |
                                   (uint32_t{p[4]} << 8) | uint32_t{p[5]};
            plan.onAccepted = [this, clock] {
                cam.m_state.clock = clock;
                Log("clock set to " + std::to_string(clock) + " half-seconds");
            };
            return plan;
        }
        case 0x9E: {
            CommandPlan plan;
            plan.data = CommandPlan::Data::FromHost;
            plan.frameLength = 60;
            plan.onData = [this](const std::vector<uint8_t>& data) {
                auto& id = cam.m_state.cameraId;
                std::fill(id.begin(), id.end(), 0);
                std::copy_n(data.begin(), std::min(id.size(), data.size()), id.begin());
                Log("camera ID set to \"" +
                    std::string(id.begin(), std::find(id.begin(), id.end(), 0)) + "\"");
            };
            return plan;
        }
        case 0x8D: {
            CommandPlan plan;
            plan.onCompleted = [this] {
                cam.m_state.mode = CameraMode::Download;
                loaderReadyAtUs = line.NowUs() + cam.m_timing.loaderStartUs;
                loaderStartDisturbed = false;
                Log("now in download mode; the loader starts (" +
                    std::to_string(cam.m_timing.loaderStartUs / 1000) + " ms)");
            };
            return plan;
        }
        case 0x42:
        case 0x43:
        case 0x44:
        case 0x45:
        case 0x46:
        case 0x47:
        case 0x48:
        case 0x49:
        case 0x4A:
            return PlanStoreCommand(p);
        default:
            return CommandPlan::Refused();  // unknown, or a loader command (0x1D, 0x1E, 0x21)
    }
}

}  // namespace sim
