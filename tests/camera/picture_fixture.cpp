// The virtual world of the picture store tests.
#include "picture_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace picture_test {

namespace {

constexpr size_t kCommandLength = 8;
constexpr uint8_t kCommandEnd = 0x1A;
constexpr uint8_t kOpItemCount = 0x45;
constexpr size_t kItemCountFrame = 17;
constexpr int kLinkSpeedCode = 384;

// "ITEMnnn" for item n (three digits, n below 1000).
std::array<char, 7> ItemStem(int item) {
    return {'I',
            'T',
            'E',
            'M',
            static_cast<char>('0' + item / 100 % 10),
            static_cast<char>('0' + item / 10 % 10),
            static_cast<char>('0' + item % 10)};
}

std::array<uint8_t, 20> ItemRecord(int item) {
    const std::array<char, 7> stem = ItemStem(item);
    std::array<uint8_t, 20> record{};
    std::copy(stem.begin(), stem.end(), record.begin());
    record[7] = 0xEE;  // carries nothing: must not reach the item name
    record[8] = 'J';
    record[9] = 'P';
    record[10] = 'G';
    std::fill(record.begin() + 11, record.end(), uint8_t{0xEE});
    return record;
}

}  // namespace

void AnswerTap::RewritePackets(uint8_t opcode, size_t frameLength, Rewrite rewrite) {
    m_opcode = opcode;
    m_frameLength = frameLength;
    m_rewrite = std::move(rewrite);
}

void AnswerTap::OnByte(uint8_t byte) {
    m_window.push_back(byte);
    if (m_window.size() > kCommandLength) {
        m_window.erase(m_window.begin());
    }
    if (m_window.size() == kCommandLength && m_window[7] == kCommandEnd && m_window[6] == 0) {
        m_lastOpcode = m_window[0];
    }
    m_camera->OnByte(byte);
}

void AnswerTap::Send(const uint8_t* data, size_t n) {
    if (!m_rewrite || m_lastOpcode != m_opcode || n != m_frameLength) {
        m_end.Send(data, n);
        return;
    }
    std::vector<uint8_t> packet(data, data + n);
    m_rewrite(std::span<uint8_t>(packet.data(), n - 1));
    uint8_t check = 0;
    for (size_t i = 0; i + 1 < n; ++i) {
        check ^= packet[i];
    }
    packet[n - 1] = check;
    m_end.Send(packet.data(), n);
}

PictureWorld::PictureWorld() {
    tap.Forward(&camera);
    line.AttachCamera(&tap);
    ports.Connect(1, &line);
    // Opening settles the link on a speed both ends run at, which later link checks keep.
    EXPECT_EQ(link.Open(kLinkSpeedCode, 1), 0);
    EXPECT_EQ(link.GetResult(), kResultOk);
    Mark();
}

PictureWorld::~PictureWorld() {
    link.ClosePort();
}

void PictureWorld::SetGroups(sim::PictureStore& store,
                             const std::vector<std::pair<std::string, int>>& groups) {
    store.groups.clear();
    for (const auto& [name, items] : groups) {
        sim::PictureGroup group;
        std::copy_n(name.begin(), std::min<size_t>(name.size(), 16), group.name.begin());
        for (int i = 1; i <= items; ++i) {
            group.items.push_back(sim::PictureItem{ItemRecord(i)});
        }
        store.groups.push_back(group);
    }
}

void PictureWorld::ReportGroups(int store, uint16_t count) {
    const uint8_t offset = store == 0 ? 0x7A : 0x7C;
    auto& overrides = camera.State().statusOverrides;
    overrides.emplace_back(offset, static_cast<uint8_t>(count >> 8));
    overrides.emplace_back(static_cast<uint8_t>(offset + 1), static_cast<uint8_t>(count & 0xFF));
}

void PictureWorld::ReportItemCount(uint32_t count) {
    tap.RewritePackets(kOpItemCount, kItemCountFrame, [count](std::span<uint8_t> payload) {
        payload[0] = static_cast<uint8_t>(count >> 24);
        payload[1] = static_cast<uint8_t>(count >> 16);
        payload[2] = static_cast<uint8_t>(count >> 8);
        payload[3] = static_cast<uint8_t>(count);
    });
}

std::vector<uint8_t> PictureWorld::OpcodesSinceMark() const {
    std::vector<uint8_t> opcodes;
    const auto& commands = camera.Commands();
    for (size_t i = m_mark; i < commands.size(); ++i) {
        opcodes.push_back(commands[i].packet[0]);
    }
    return opcodes;
}

std::array<uint8_t, 8> PictureWorld::LastPacket(uint8_t opcode) const {
    const auto& commands = camera.Commands();
    for (auto it = commands.rbegin(); it != commands.rend(); ++it) {
        if (it->packet[0] == opcode) {
            return it->packet;
        }
    }
    return {};
}

NameField Name(const std::string& text) {
    NameField field{};
    std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
    return field;
}

ItemName ExpectedItemName(int item) {
    const std::array<char, 7> stem = ItemStem(item);
    ItemName name{};
    std::copy(stem.begin(), stem.end(), name.begin());
    std::copy_n(".JPG", 4, name.begin() + 7);
    return name;
}

}  // namespace picture_test
