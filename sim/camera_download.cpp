// Download-mode commands: speed, bank, block with its plain 257-byte packet, parameter. Each is
// recorded with the time it was accepted.
#include <algorithm>
#include <string>

#include "sim/camera_impl.hpp"

namespace sim {

CommandPlan VirtualCamera::Impl::PlanDownload(const CommandPacket& p) {
    const uint16_t high = BigEndian16(p[2], p[3]);
    switch (p[0]) {
        case 0x41:
            return PlanSpeed(p);
        case 0x1E: {
            CommandPlan plan;
            plan.onAccepted = [this, high] { cam.m_banks.push_back({line.NowUs(), high}); };
            return plan;
        }
        case 0x1D: {
            if (cam.m_faults.failBlockIndex == high) {
                return CommandPlan::Refused();
            }
            CommandPlan plan;
            plan.data = CommandPlan::Data::FromHostPlain;
            plan.frameLength = 257;
            plan.onData = [this, high](const std::vector<uint8_t>& data) {
                ReceivedBlock block;
                block.atUs = line.NowUs();
                block.index = high;
                std::copy_n(data.begin(), std::min(block.data.size(), data.size()),
                            block.data.begin());
                cam.m_blocks.push_back(block);
            };
            return plan;
        }
        case 0x21: {
            CommandPlan plan;
            const uint16_t value = BigEndian16(p[4], p[5]);
            plan.onAccepted = [this, high, value] {
                cam.m_parameters.push_back({line.NowUs(), high, value});
            };
            return plan;
        }
        default:
            return CommandPlan::Refused();
    }
}

}  // namespace sim
