#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "emu/serial_peer.h"

namespace emu {

// A line partner whose answers a test scripts byte by byte: "these bytes arrive at t = 1200".
// It understands no commands; it only records what it was sent.
class CScriptedPeer : public ISerialPeer {
public:
    // Queues bytes that arrive `delayMs` after `now`.
    void Send(const std::string& bytes, std::uint32_t now, std::uint32_t delayMs = 0);
    // Queues an answer: the bytes arrive `delayMs` after the driver next writes exactly `trigger`
    // (any write, when the trigger is empty). Answers are given in the order they were queued.
    void Answer(const std::string& bytes, const std::string& trigger = "", std::uint32_t delayMs = 0);
    std::size_t AnswersLeft() const { return m_answers.size(); }
    // An answer given to every write of exactly `trigger` once the queued answers are used up.
    void AnswerAlways(const std::string& bytes, const std::string& trigger) { m_standing[trigger] = bytes; }
    void SetCts(bool on) { m_bCts = on; }
    const std::string& Received() const { return m_received; }

    void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) override;
    std::size_t Readable(std::uint32_t now) override;
    std::size_t Read(std::uint8_t* out, std::size_t n, std::uint32_t now) override;
    void PurgeReadable(std::uint32_t now) override;
    bool NextArrival(std::uint32_t now, std::uint32_t& time) const override;
    bool Cts(std::uint32_t) override { return m_bCts; }

private:
    struct TimedByte {
        std::uint32_t due;
        std::uint8_t value;
    };
    struct PendingAnswer {
        std::string bytes;
        std::string trigger;
        std::uint32_t delayMs;
    };
    static bool Arrived(const TimedByte& byte, std::uint32_t now) {
        return static_cast<std::int32_t>(now - byte.due) >= 0;
    }

    std::deque<TimedByte> m_bytes;
    std::deque<PendingAnswer> m_answers;
    std::map<std::string, std::string> m_standing;
    std::string m_received;
    bool m_bCts = true;
};

}  // namespace emu
