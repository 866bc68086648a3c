// The camera link against a virtual camera in virtual time, for the picture store operations.
// A tap between the camera and its line end can rewrite the data packets the camera sends, so
// that tests can make it report counts that no sound camera would.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "camera/camera.hpp"
#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

namespace picture_test {

// Sits between the virtual camera and its end of the line, forwarding both ways. It follows the
// command packets the camera receives; while the last one had a given opcode, every data packet
// the camera sends of that opcode's frame length goes through a rewrite (XOR byte made good).
class AnswerTap final : public sim::ICameraLine, public sim::ICameraReceiver {
  public:
    using Rewrite = std::function<void(std::span<uint8_t> payload)>;

    explicit AnswerTap(sim::ICameraLine& end) : m_end(end) {}
    void Forward(sim::ICameraReceiver* camera) { m_camera = camera; }
    void RewritePackets(uint8_t opcode, size_t frameLength, Rewrite rewrite);

    // sim::ICameraLine
    uint64_t NowUs() override { return m_end.NowUs(); }
    void Send(const uint8_t* data, size_t n) override;
    size_t PendingOutput() override { return m_end.PendingOutput(); }
    void SetBaudRate(uint32_t baud) override { m_end.SetBaudRate(baud); }
    uint32_t BaudRate() override { return m_end.BaudRate(); }
    TimerId After(uint64_t delayUs, std::function<void()> fn) override {
        return m_end.After(delayUs, std::move(fn));
    }
    void CancelTimer(TimerId id) override { m_end.CancelTimer(id); }

    // sim::ICameraReceiver
    void OnByte(uint8_t byte) override;
    void OnBreak(bool on) override { m_camera->OnBreak(on); }

  private:
    sim::ICameraLine& m_end;
    sim::ICameraReceiver* m_camera = nullptr;
    std::vector<uint8_t> m_window;  // the last bytes received, to spot command packets
    int m_lastOpcode = -1;
    int m_opcode = -1;
    size_t m_frameLength = 0;
    Rewrite m_rewrite;
};

// One camera on COM1 and the link opened on it at 38,400 bit/s; Mark() is set after opening.
class PictureWorld {
  public:
    PictureWorld();
    ~PictureWorld();
    PictureWorld(const PictureWorld&) = delete;
    PictureWorld& operator=(const PictureWorld&) = delete;

    // Groups 0..n of a store from (name, item count) pairs, group 0 first. Item i of a group is
    // named "ITEM" + i padded to 7 characters, with the extension "JPG".
    static void SetGroups(sim::PictureStore& store,
                          const std::vector<std::pair<std::string, int>>& groups);
    // Overrides the group count of store 0 or 1 in the status block.
    void ReportGroups(int store, uint16_t count);
    // Makes command 0x45 report `count` (32-bit) whatever the group holds.
    void ReportItemCount(uint32_t count);

    // Opcodes the camera received since the last Mark() (or since the start).
    std::vector<uint8_t> OpcodesSinceMark() const;
    // The last command packet the camera received with this opcode (all zeros when none).
    std::array<uint8_t, 8> LastPacket(uint8_t opcode) const;
    void Mark() { m_mark = camera.Commands().size(); }

    sim::VirtualClock clock;
    ScopedClock scoped{clock};
    sim::VirtualLine line{clock};
    AnswerTap tap{line.CameraEnd()};
    sim::VirtualCamera camera{tap};
    sim::VirtualPortSystem ports;
    CCameraProtocol link{ports};

  private:
    size_t m_mark = 0;
};

// A name field from text (zero-padded; text of 15 characters fills it without a 0).
NameField Name(const std::string& text);
// The item name "ITEMnnn.JPG" as ListItems delivers it for item i (1-based).
ItemName ExpectedItemName(int item);

}  // namespace picture_test
