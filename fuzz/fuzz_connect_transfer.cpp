// Fuzz target: a whole connection and firmware transfer against a camera that answers with any
// byte stream: the greeting answer, the normal-mode reads, the mode switch, the speed change and
// every acknowledgement and completion byte of the transfer.
//
// Input: byte 0 picks the clock start (bits 0-1) and the port (bit 2: search all ports), the
// rest is the camera's script (see scripted_line.hpp).
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "download/download.hpp"
#include "fuzz/scripted_line.hpp"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(kFirmwareImageBytes);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>((i * 131) ^ (i >> 8));
    }
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    static const std::vector<uint8_t> image = Image();
    fuzzline::ScriptedLine line(std::span<const uint8_t>(data + 1, size - 1),
                                fuzzline::StartClockFor(data[0]));
    ScopedClock scoped(line);
    {
        CCameraLink link(line);
        CameraInfo info;
        CameraIdText text = {};
        CameraClockId clockId;
        clockId.text = &text;
        int32_t inDownloadMode = -1;
        const int32_t port = (data[0] & 0x04) != 0 ? 0 : 1;
        link.Connect(port, kTransferSpeedCode, &info, &clockId, &inDownloadMode);
        Check(text.back() == '\0');
        if (link.GetResult() == 0) {
            Check(link.IsPortOpen());
            Check(inDownloadMode == 0 || inDownloadMode == 1);
            int32_t lastPercent = 0;
            int finalStages = 0;
            bool started = false;
            link.DownloadFirmware(image, [&](int32_t stage, int32_t value, int32_t, int32_t) {
                Check(finalStages == 0);
                if (stage == 0) {
                    Check(!started);
                    started = true;
                } else if (stage == 1) {
                    Check(started && value >= lastPercent && value <= 99);
                    lastPercent = value;
                } else {
                    Check(stage == 2 || stage == 3);
                    ++finalStages;
                }
                return 1;
            });
            Check(finalStages == 1);
            Check(!link.IsPortOpen());
        }
    }
    Check(line.OpenDrivers() == 0);
    Check(line.LongestWaitMs() <= 10'000 + kPortBufferSize);
    return 0;
}
