// Camera download layer: the complete camera link, with the connection procedure (port search,
// greeting, switch into download mode, transfer speed) and the firmware transfer.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "camera/camera.hpp"

constexpr uint32_t kFirmwareImageBytes = 196608;  // 768 blocks of 256 bytes
constexpr int kFirmwareBlocks = 768;
constexpr int kTransferSpeedCode = 384;

// Called by the transfer with (stage, value, 0, 0); returns non-zero to go on, 0 to stop.
// Stages: 0 before the first block, 1 after each block, 2 success, 3 failure.
using ProgressCallback = std::function<int32_t(int32_t stage, int32_t value, int32_t, int32_t)>;

// The percentage reported after `blocks` attempted blocks (1 to 768).
int32_t TransferPercent(int blocks);

class CCameraLink final : public CCameraProtocol {
  public:
    explicit CCameraLink(IPortSystem& ports);

    // Finds the camera on `port` (0 = search COM1 to COM4, 1-4 = that port), makes sure it is
    // in download mode and moves camera and port to `speedCode`. `information` and
    // `clockAndIdentity` are written only when the camera had to be switched into download mode.
    int32_t Connect(int32_t port, int32_t speedCode, CameraInfo* information,
                    CameraClockId* clockAndIdentity, int32_t* alreadyInDownloadMode);
    void Greet();
    void EnterDownloadMode();

    // Writes the first kFirmwareImageBytes bytes of `data` into a connected camera; closes the
    // port on return. A shorter image is refused (status 1) before anything is sent.
    int32_t DownloadFirmware(std::span<const uint8_t> data, const ProgressCallback& callback);
    void WriteBlock(const uint8_t* data, uint16_t index);
    void WriteParameter(uint16_t number, uint16_t value);
    void PrepareBank(uint16_t bank);

  private:
    void LoaderCommand(uint8_t opcode, uint16_t first, uint16_t second, const uint8_t* block);
};
