// Bytes, lengths, time-outs and tries of the camera line, shared by the protocol sources. The
// values that the layers above use as well are in camera.hpp, in the same namespace.
#pragma once

#include <cstdint>

namespace wire {

// Bytes on the line.
constexpr uint8_t kCommandEnd = 0x1A;  // last byte of every command packet
constexpr uint8_t kCommandRefused = 0xE1;
constexpr uint8_t kInsteadOfAck = 0x10;  // the camera's answer in place of an acknowledgement
constexpr uint8_t kPacketAccepted = 0xD2;
constexpr uint8_t kPacketAgain = 0xE3;
constexpr uint8_t kNoPacket = 0xE2;  // the camera sends no data packet
constexpr uint8_t kCompletionOk = 0x00;
constexpr uint8_t kMorePackets = 0x00;  // control byte: more packets follow
constexpr uint8_t kLastPacket = 0x80;   // control byte: last packet

// Opcodes.
constexpr uint8_t kOpSetSpeed = 0x41;
constexpr uint8_t kOpSetClock = 0x75;
constexpr uint8_t kOpStatus = 0x7F;
constexpr uint8_t kOpSetId = 0x9E;

// Lengths.
constexpr int kCommandLength = 8;
constexpr int kLongFrame = 257;  // 256 data bytes and the XOR byte (status, lists, firmware blocks)
constexpr int kStatusFrame = kLongFrame;  // status block packets
constexpr int kIdFrame = 60;              // ID text packet: control byte, 58 data bytes, XOR byte

// Time-outs and pacing, in milliseconds.
constexpr int kAckTimeoutMs = 3000;
constexpr int kFirstPacketMs = 2000;
constexpr int kLaterPacketMs = 10000;
constexpr int kSlowCompletionMs = 200000;  // completion byte of the slow picture store commands
constexpr uint32_t kQuietBeforeCommandMs = 100;
constexpr uint32_t kBreakHeldMs = 300;       // a break the camera takes as one
constexpr uint32_t kAfterGoodStatusMs = 10;  // pause after a status request that went well

// Tries.
constexpr int kDataPacketTries = 5;
constexpr int16_t kCommandTries = 3;

// Camera state in which it accepts commands.
constexpr uint16_t kStateReady = 2;

}  // namespace wire
