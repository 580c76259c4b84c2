#include "fuzz/harness.h"

#include <sanitizer/asan_interface.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

constexpr char kGuardPattern = static_cast<char>(0xA5);

// The distance from `now` to a later time on the wrapping counter; 0 for a time already reached.
std::uint32_t Ahead(std::uint32_t now, std::uint32_t time) {
    auto distance = static_cast<std::int32_t>(time - now);
    return distance > 0 ? static_cast<std::uint32_t>(distance) : 0;
}

}  // namespace

void Fail(const char* format, ...) {
    std::fprintf(stderr, "\n==lodevar fuzz check failed== ");
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    std::abort();
}

std::string CInput::Bytes(std::size_t n) {
    std::size_t count = std::min(n, Left());
    std::string bytes(reinterpret_cast<const char*>(m_pData + m_nAt), count);
    m_nAt += count;
    return bytes;
}

CInput CInput::Section(std::size_t n) {
    std::size_t count = std::min(n, Left());
    CInput section(m_pData + m_nAt, count);
    m_nAt += count;
    return section;
}

void CFuzzClock::Advance(std::uint32_t to) {
    m_nNow = to;
    if (watch) {
        watch();
    }
}

void CFuzzClock::Sleep(std::uint32_t ms) {
    Advance(m_nNow + ms);
}

void CFuzzClock::Idle() {
    IdleUntil(m_nNow + 1);
}

void CFuzzClock::IdleUntil(std::uint32_t deadline) {
    // A wait asks for another pass only while its time-out has not passed.
    if (Ahead(m_nNow, deadline) == 0) {
        Fail("a wait idles at %u, past its own time-out at %u", m_nNow, deadline);
    }
    if (pump != nullptr && pump->HasDueMessage()) {
        return;  // the message is dispatched by the wait's next pass
    }
    std::uint32_t step = Ahead(m_nNow, deadline);
    std::uint32_t due = 0;
    if (pump != nullptr && pump->NextDue(due)) {
        step = std::min(step, Ahead(m_nNow, due));
    }
    if (nextByte && nextByte(due)) {
        step = std::min(step, Ahead(m_nNow, due));
    }
    Advance(m_nNow + std::max<std::uint32_t>(step, 1));
}

bool CFuzzPump::PeekKeyMessage(os::KeyMessage& key) {
    if (escapeHeld && escapeHeld()) {
        ++escapesSeen;
        key.message = os::kWmKeyDown;
        key.wParam = 27;
        return true;
    }
    return m_queue.PeekKeyMessage(key);
}

CFuzzPlatform::CFuzzPlatform() {
    clock.pump = &queue;
}

void CFuzzPlatform::RunLoop(std::uint32_t ms, int limit) {
    const std::uint32_t end = clock.Ticks() + ms;
    for (int dispatched = 0; dispatched < limit;) {
        if (queue.DispatchOne()) {
            ++dispatched;
            continue;
        }
        if (Ahead(clock.Ticks(), end) == 0) {
            break;
        }
        clock.IdleUntil(end);
    }
}

CGuarded::CGuarded(std::size_t size, char fill)
    : m_nSize(size), m_storage(size + 2 * kGuardBytes, kGuardPattern) {
    std::memset(Data(), fill, size);
    ASAN_POISON_MEMORY_REGION(m_storage.data(), kGuardBytes);
    ASAN_POISON_MEMORY_REGION(Data() + m_nSize, kGuardBytes);
}

CGuarded::~CGuarded() {
    ASAN_UNPOISON_MEMORY_REGION(m_storage.data(), m_storage.size());
}

void CGuarded::Check(const char* what) const {
    ASAN_UNPOISON_MEMORY_REGION(const_cast<char*>(m_storage.data()), m_storage.size());
    for (std::size_t i = 0; i < kGuardBytes; ++i) {
        if (m_storage[i] != kGuardPattern || m_storage[kGuardBytes + m_nSize + i] != kGuardPattern) {
            Fail("%s of %zu bytes: a guard byte was written", what, m_nSize);
        }
    }
    ASAN_POISON_MEMORY_REGION(const_cast<char*>(m_storage.data()), kGuardBytes);
    ASAN_POISON_MEMORY_REGION(const_cast<char*>(m_storage.data()) + kGuardBytes + m_nSize, kGuardBytes);
}

}  // namespace fuzz
