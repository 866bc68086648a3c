// Discrete-event virtual time.
#include <utility>

#include "sim/sim.hpp"

namespace sim {

VirtualClock::EventId VirtualClock::At(uint64_t atUs, std::function<void()> fn) {
    const uint64_t when = atUs < m_nowUs ? m_nowUs : atUs;
    const EventId id = m_nextId++;
    m_events.emplace(std::make_pair(when, id), std::move(fn));
    m_eventTimes.emplace(id, when);
    return id;
}

void VirtualClock::Cancel(EventId id) {
    const auto found = m_eventTimes.find(id);
    if (found == m_eventTimes.end()) {
        return;
    }
    m_events.erase(std::make_pair(found->second, id));
    m_eventTimes.erase(found);
}

uint64_t VirtualClock::NextEventUs() const {
    return m_events.empty() ? UINT64_MAX : m_events.begin()->first.first;
}

void VirtualClock::RunFirst() {
    auto node = m_events.extract(m_events.begin());
    m_eventTimes.erase(node.key().second);
    m_nowUs = node.key().first;
    // The event may schedule or cancel others; it is already off the queue.
    node.mapped()();
}

void VirtualClock::RunUntilUs(uint64_t us) {
    while (!m_events.empty() && m_events.begin()->first.first <= us) {
        RunFirst();
    }
    if (us > m_nowUs) {
        m_nowUs = us;
    }
}

bool VirtualClock::Step(uint64_t limitUs) {
    if (m_events.empty() || m_events.begin()->first.first > limitUs) {
        if (limitUs > m_nowUs) {
            m_nowUs = limitUs;
        }
        return false;
    }
    const uint64_t instant = m_events.begin()->first.first;
    while (!m_events.empty() && m_events.begin()->first.first == instant) {
        RunFirst();
    }
    return true;
}

void VirtualClock::SleepUntilMs(uint32_t ms) {
    const auto ahead = static_cast<int32_t>(ms - NowMs());
    if (ahead <= 0) {
        return;
    }
    RunUntilUs((m_nowUs / 1000 + static_cast<uint64_t>(ahead)) * 1000);
}

}  // namespace sim
