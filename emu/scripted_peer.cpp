#include "emu/scripted_peer.h"

#include <algorithm>

namespace emu {

void CScriptedPeer::Send(const std::string& bytes, std::uint32_t now, std::uint32_t delayMs) {
    // Bytes arrive in the order they are due: an answer due now is not held up behind bytes
    // scripted to arrive later. The queue is kept in that order, so the place is found by halving it.
    const std::uint32_t due = now + delayMs;
    auto at = std::partition_point(m_bytes.begin(), m_bytes.end(), [due](const TimedByte& byte) {
        return static_cast<std::int32_t>(byte.due - due) <= 0;
    });
    for (char c : bytes) {
        at = m_bytes.insert(at, TimedByte{due, static_cast<std::uint8_t>(c)}) + 1;
    }
}

void CScriptedPeer::Answer(const std::string& bytes, const std::string& trigger, std::uint32_t delayMs) {
    m_answers.push_back(PendingAnswer{bytes, trigger, delayMs});
}

void CScriptedPeer::Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) {
    std::string written(reinterpret_cast<const char*>(bytes), n);
    m_received += written;
    if (!m_answers.empty() && (m_answers.front().trigger.empty() || m_answers.front().trigger == written)) {
        Send(m_answers.front().bytes, now, m_answers.front().delayMs);
        m_answers.pop_front();
        return;
    }
    auto standing = m_standing.find(written);
    if (standing != m_standing.end()) {
        Send(standing->second, now);
    }
}

std::size_t CScriptedPeer::Readable(std::uint32_t now) {
    const auto arrived = std::partition_point(m_bytes.begin(), m_bytes.end(),
                                              [now](const TimedByte& byte) { return Arrived(byte, now); });
    return static_cast<std::size_t>(arrived - m_bytes.begin());
}

std::size_t CScriptedPeer::Read(std::uint8_t* out, std::size_t n, std::uint32_t now) {
    std::size_t count = 0;
    while (count < n && !m_bytes.empty() && Arrived(m_bytes.front(), now)) {
        out[count++] = m_bytes.front().value;
        m_bytes.pop_front();
    }
    return count;
}

bool CScriptedPeer::NextArrival(std::uint32_t now, std::uint32_t& time) const {
    const auto next = std::partition_point(m_bytes.begin(), m_bytes.end(),
                                           [now](const TimedByte& byte) { return Arrived(byte, now); });
    if (next == m_bytes.end()) {
        return false;
    }
    time = next->due;
    return true;
}

void CScriptedPeer::PurgeReadable(std::uint32_t now) {
    while (!m_bytes.empty() && Arrived(m_bytes.front(), now)) {
        m_bytes.pop_front();
    }
}

}  // namespace emu
