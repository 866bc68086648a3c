// Bytes, lengths, time-outs and tries of the camera line, shared by the protocol sources.
#pragma once

#include <cstdint>

namespace wire {

// Bytes on the line.
constexpr uint8_t kCommandEnd = 0x1A;  // last byte of every command packet
constexpr uint8_t kCommandAccepted = 0xD1;
constexpr uint8_t kCommandRefused = 0xE1;
constexpr uint8_t kByte10 = 0x10;  // where an acknowledgement was expected
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
constexpr int kWriteTimeoutMs = 200;
constexpr int kAckTimeoutMs = 3000;
constexpr int kFirstPacketMs = 2000;
constexpr int kLaterPacketMs = 10000;
constexpr int kCompletionMs = 3000;
constexpr uint32_t kQuietBeforeCommandMs = 100;

// Tries.
constexpr int kDataPacketTries = 5;
constexpr int16_t kCommandTries = 3;

// Camera state in which it accepts commands.
constexpr uint16_t kStateReady = 2;

}  // namespace wire
