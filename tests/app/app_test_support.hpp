// Shared pieces of the update application tests: temporary firmware files and the virtual world
// (virtual clock, virtual line on COM1, virtual camera) with the scripted front end.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.hpp"
#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"
#include "temp_dir.hpp"

namespace apptest {

using testdir::TempDir;

// A firmware file with the identification text, the two version fields and a varied image.
inline std::vector<uint8_t> FirmwareFile(const char* versionFields = "0120",
                                         size_t size = kFirmwareCompleteBytes) {
    std::vector<uint8_t> bytes(size, 0);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 131 + 17) ^ (i >> 8));
    }
    std::memcpy(bytes.data(), kIdentificationText, std::min<size_t>(size, 49));
    if (size >= kFirmwareVersionOffset + 4) {
        std::memcpy(bytes.data() + kFirmwareVersionOffset, versionFields, 4);
    }
    return bytes;
}

inline std::vector<uint8_t> ImagePart(const std::vector<uint8_t>& file) {
    return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(kFirmwareHeaderBytes),
                                file.begin() + static_cast<std::ptrdiff_t>(kFirmwareCompleteBytes));
}

// The virtual camera on COM1, reached through the virtual port system, on the virtual clock.
struct VirtualWorld {
    sim::VirtualClock clock;
    ScopedClock scopedClock{clock};
    sim::VirtualLine line{clock};
    sim::VirtualCamera camera{line.CameraEnd()};
    sim::VirtualPortSystem ports;

    explicit VirtualWorld(int portNumber = 1) {
        line.AttachCamera(&camera);
        ports.Connect(portNumber, &line);
    }
    void SetCameraId(const char* id) {
        camera.State().cameraId.fill(0);
        std::memcpy(camera.State().cameraId.data(), id, std::strlen(id));
    }
};

}  // namespace apptest
