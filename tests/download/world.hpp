// A virtual camera on a virtual line in virtual time, with the host's port system.
#pragma once

#include <memory>

#include "download/download.hpp"
#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

struct CameraOnLine {
    explicit CameraOnLine(sim::VirtualClock& clock) : line(clock), camera(line.CameraEnd()) {
        line.AttachCamera(&camera);
    }
    sim::VirtualLine line;
    sim::VirtualCamera camera;
};

class World {
  public:
    World() : m_scoped(clock) {}

    // A camera on COMn (1 to 4).
    sim::VirtualCamera& AddCamera(int port, sim::CameraMode mode) {
        auto& slot = m_cameras[port];
        slot = std::make_unique<CameraOnLine>(clock);
        slot->camera.State().mode = mode;
        ports.Connect(port, &slot->line);
        return slot->camera;
    }
    sim::VirtualLine& Line(int port) { return m_cameras[port]->line; }

    sim::VirtualClock clock;
    sim::VirtualPortSystem ports;

  private:
    ScopedClock m_scoped;
    std::unique_ptr<CameraOnLine> m_cameras[5];
};
