// Firmware transfer: bank commands, 768 blocks, bank checksums and the fixed parameters.
#include <array>

#include "download/download.hpp"

namespace {

constexpr uint8_t kOpcodeBlock = 0x1D;
constexpr uint8_t kOpcodeBank = 0x1E;
constexpr uint8_t kOpcodeParameter = 0x21;
constexpr int kBlockBytes = 256;
constexpr int kBlocksPerBank = 256;

// The percentage constant lies just below 100/768: the quarter points give 24, 49, 74 and 99.
constexpr double kPercentPerBlock = 0.13020833333333331;

// Parameter 202 + k receives entry k: two ASCII digits, the first one the high byte.
constexpr std::array<const char*, 48> kFixedParameters = {
    "00", "00", "00", "00", "01", "48", "15", "14", "13", "21", "00", "15", "11", "60", "50", "15",
    "00", "00", "00", "00", "14", "95", "00", "16", "01", "26", "40", "14", "12", "14", "50", "15",
    "00", "00", "00", "00", "05", "45", "00", "16", "13", "98", "50", "15", "01", "34", "40", "14",
};
constexpr uint16_t kFirstFixedParameter = 202;

// Checksum parameters: bank 0, bank 0 again, bank 1, bank 2.
constexpr std::array<uint16_t, 4> kChecksumParameters = {79, 108, 109, 110};
constexpr std::array<int, 4> kChecksumBanks = {0, 0, 1, 2};

uint16_t FixedParameterValue(const char* digits) {
    return static_cast<uint16_t>((static_cast<uint8_t>(digits[0]) << 8) |
                                 static_cast<uint8_t>(digits[1]));
}

// Each 16-bit word of the block, read little-endian, is XORed into the bank's checksum.
uint16_t FoldBlock(uint16_t checksum, const uint8_t* block) {
    for (int i = 0; i < kBlockBytes; i += 2) {
        checksum ^= static_cast<uint16_t>(block[i] | (block[i + 1] << 8));
    }
    return checksum;
}

uint16_t SwapBytes(uint16_t value) {
    return static_cast<uint16_t>((value << 8) | (value >> 8));
}

}  // namespace

int32_t TransferPercent(int blocks) {
    return static_cast<int32_t>(blocks * kPercentPerBlock);
}

// One loader command: the packet with its two 16-bit words (high byte first), the block's data
// packet when there is one, then the completion byte.
void CCameraLink::LoaderCommand(uint8_t opcode, uint16_t first, uint16_t second,
                                const uint8_t* block) {
    m_result = 0;
    m_status = kStatusOk;
    ClearCommand();
    m_command[0] = opcode;
    m_command[2] = static_cast<uint8_t>(first >> 8);
    m_command[3] = static_cast<uint8_t>(first & 0xFF);
    m_command[4] = static_cast<uint8_t>(second >> 8);
    m_command[5] = static_cast<uint8_t>(second & 0xFF);
    m_status = SendCommand();
    if (m_status == kStatusOk && block != nullptr) {
        m_status = SendDataPacket(block, kBlockBytes);
    }
    if (m_status == kStatusOk) {
        m_status = ReadCompletion(wire::kCompletionMs);
    }
}

void CCameraLink::PrepareBank(uint16_t bank) {
    LoaderCommand(kOpcodeBank, bank, 0, nullptr);
}

void CCameraLink::WriteBlock(const uint8_t* data, uint16_t index) {
    LoaderCommand(kOpcodeBlock, index, 0, data);
}

void CCameraLink::WriteParameter(uint16_t number, uint16_t value) {
    LoaderCommand(kOpcodeParameter, number, value, nullptr);
}

int32_t CCameraLink::DownloadFirmware(std::span<const uint8_t> data,
                                      const ProgressCallback& callback) {
    m_result = 0;
    m_status = kStatusOk;

    // An image that does not hold all 768 blocks never reaches the camera.
    if (data.size() < kFirmwareImageBytes) {
        m_status = kStatusBadArgument;
        ClosePort();
        return static_cast<int32_t>(FinishOperation());
    }

    for (uint16_t bank = 0; bank < 4; ++bank) {
        PrepareBank(bank);
    }
    m_status = kStatusOk;  // the bank commands' outcomes are not examined

    std::array<uint16_t, 3> checksums = {};
    int32_t lastPercent = 0;

    if (callback && callback(0, 0, 0, 0) == 0) {
        m_status = kStatusCancelled;
        ClosePort();
        return static_cast<int32_t>(FinishOperation());
    }

    for (int b = 0; b < kFirmwareBlocks; ++b) {
        const uint8_t* block = data.data() + static_cast<size_t>(b) * kBlockBytes;
        WriteBlock(block, static_cast<uint16_t>(b));
        if (m_status == kStatusOk) {
            const int bank = b / kBlocksPerBank;
            checksums[static_cast<size_t>(bank)] =
                FoldBlock(checksums[static_cast<size_t>(bank)], block);
        }
        lastPercent = TransferPercent(b + 1);
        if (callback && callback(1, lastPercent, 0, 0) == 0) {
            m_status = kStatusCancelled;
        }
        if (m_status != kStatusOk) {
            break;
        }
    }

    if (m_status == kStatusOk) {
        for (size_t i = 0; i < kChecksumParameters.size(); ++i) {
            const uint16_t checksum = checksums[static_cast<size_t>(kChecksumBanks[i])];
            WriteParameter(kChecksumParameters[i], SwapBytes(checksum));
            if (m_status != kStatusOk) {
                break;
            }
        }
    }

    // The fixed parameters go out in every case that got past the start; their failure replaces
    // the status reached so far, their success does not undo it.
    uint32_t kept = m_status;
    for (size_t k = 0; k < kFixedParameters.size(); ++k) {
        WriteParameter(static_cast<uint16_t>(kFirstFixedParameter + k),
                       FixedParameterValue(kFixedParameters[k]));
        if (m_status != kStatusOk) {
            kept = m_status;
            break;
        }
    }
    m_status = kept;

    if (callback) {
        const int32_t goOn =
            (m_status != kStatusOk) ? callback(3, lastPercent, 0, 0) : callback(2, 100, 0, 0);
        if (goOn == 0) {
            m_status = kStatusCancelled;
        }
    }

    ClosePort();
    return static_cast<int32_t>(FinishOperation());
}
