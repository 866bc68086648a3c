// Names sent to the camera and its table of eight names: the name rules, the table's layout on
// the line, and the operations that read and write the table and select one of its names.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "camera/camera.hpp"

namespace {

constexpr uint8_t kOpWriteNameTable = 0x42;
constexpr uint8_t kOpReadNameTable = 0x43;
constexpr uint8_t kOpSelectName = 0x49;

constexpr int kNameTableInFrame = 257;   // 256 data bytes and the XOR byte
constexpr int kNameTableOutFrame = 258;  // control byte, 256 data bytes, XOR byte

constexpr int16_t kHighestNameIndex = 8;

// Every character a name may hold.
constexpr std::string_view kNameAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ? /:=>._";

}  // namespace

bool NameIsValid(const NameField& name) {
    size_t length = 0;
    bool onlySpaces = true;
    for (; length < name.size(); ++length) {
        const char c = name[length];
        if (c == '\0') {
            break;
        }
        // The terminating 0 must stand within the field, so the last byte can hold nothing else.
        if (length == name.size() - 1 || kNameAlphabet.find(c) == std::string_view::npos) {
            return false;
        }
        onlySpaces = onlySpaces && c == ' ';
    }
    return length > 0 && !onlySpaces;
}

NameTableBlock BuildNameTableBlock(const NameTable& table) {
    NameTableBlock block{};
    for (size_t i = 0; i < table.size(); ++i) {
        std::memcpy(block.data() + i * kNameFieldBytes, table[i].data(), kNameFieldBytes);
    }
    return block;
}

NameTable NameTableFromBlock(const NameTableBlock& block) {
    NameTable table{};
    for (size_t i = 0; i < table.size(); ++i) {
        std::memcpy(table[i].data(), block.data() + i * kNameFieldBytes, kNameFieldBytes);
        table[i][kNameFieldBytes - 1] = '\0';
    }
    return table;
}

int32_t CCameraProtocol::ReadNameTable(NameTable* out) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (out == nullptr) {
        m_status = kStatusBadArgument;
        return static_cast<int32_t>(FinishOperation());
    }
    LinkCheck();
    NameTableBlock block{};
    if (m_status == kStatusOk) {
        const uint8_t params[5] = {};
        RunCommand(kOpReadNameTable, params, block.data(), static_cast<int>(block.size()), nullptr,
                   0, kNameTableInFrame, wire::kCompletionMs);
    }
    if (m_status == kStatusOk) {
        *out = NameTableFromBlock(block);
    }
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::WriteNameTable(const NameTable& in) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (!std::all_of(in.begin(), in.end(), NameIsValid)) {
        m_status = kStatusBadArgument;
        return static_cast<int32_t>(FinishOperation());
    }
    LinkCheck();
    if (m_status == kStatusOk) {
        const NameTableBlock block = BuildNameTableBlock(in);
        const uint8_t params[5] = {};
        RunCommand(kOpWriteNameTable, params, nullptr, 0, block.data(),
                   static_cast<int>(block.size()), kNameTableOutFrame, wire::kCompletionMs);
    }
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::SelectName(int16_t index) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (index < 0 || index > kHighestNameIndex) {
        m_status = kStatusBadArgument;
        return static_cast<int32_t>(FinishOperation());
    }
    LinkCheck();
    if (m_status == kStatusOk) {
        const uint8_t params[5] = {0, static_cast<uint8_t>(index), 0, 0, 0};  // index in byte 2
        RunCommand(kOpSelectName, params, nullptr, 0, nullptr, 0, 0, wire::kCompletionMs);
    }
    return static_cast<int32_t>(FinishOperation());
}
