#include "fuzz/harness.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

// The distance from `now` to a later time on the wrapping counter; 0 for a time already reached.
std::uint32_t Ahead(std::uint32_t now, std::uint32_t time) {
    auto distance = static_cast<std::int32_t>(time - now);
    return distance > 0 ? static_cast<std::uint32_t>(distance) : 0;
}

}  // namespace

void Expect(bool holds, const char* format, ...) {
    if (holds) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::fprintf(stderr, "\n==lodevar fuzz check failed== ");
    std::vfprintf(stderr, format, arguments);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    std::abort();
}

std::string CInput::Bytes(std::size_t n) {
    std::size_t count = Empty() ? 0 : std::min(n, m_nSize - m_nAt);
    std::string bytes(reinterpret_cast<const char*>(m_pData + m_nAt), count);
    m_nAt += count;
    return bytes;
}

void CFuzzClock::Advance(std::uint32_t to) {
    m_nNow = to;
    if (active && watch) {
        watch();
    }
}

void CFuzzClock::End() {
    if (watch) {
        watch();
    }
    active = false;
}

void CFuzzClock::IdleUntil(std::uint32_t deadline) {
    // A wait asks for another pass only while its time-out has not passed.
    std::uint32_t step = Ahead(m_nNow, deadline);
    Expect(step != 0, "a wait idles at %u, past its own time-out at %u", m_nNow, deadline);
    if (pump != nullptr && pump->HasDueMessage()) {
        return;  // the message is dispatched by the wait's next pass
    }
    std::uint32_t due = 0;
    if (pump != nullptr && pump->NextDue(due)) {
        step = std::min(step, Ahead(m_nNow, due));
    }
    if (nextByte && nextByte(due)) {
        step = std::min(step, Ahead(m_nNow, due));
    }
    Advance(m_nNow + std::max<std::uint32_t>(step, 1));
}

os::MessageResult CClientWindow::OnMessage(os::Window, const os::Message& message) {
    if (message.id != os::kWmCopyData) {
        return {true, 1};
    }
    const char* bytes = static_cast<const char*>(message.copyData);
    Expect(bytes != nullptr, "a client received a record without data");
    if (message.copySize == kAdviseReplyBytes && bytes[0] == 'A') {
        for (int i = 1; i < 9; ++i) {
            Expect(i < 6 ? bytes[i] == '\0' : bytes[i] >= '0' && bytes[i] <= '9',
                   "the MSR advise reply has a zero byte or a length digit wrong at offset %d", i);
        }
        Expect(strnlen(bytes + 9, 99) <= 98,
               "the MSR advise reply's text is not terminated within its 99 bytes");
    } else {
        Expect(message.copySize == kPrintEndBytes,
               "a client received a record of %u bytes that is neither reply nor notice", message.copySize);
        Expect(std::strcmp(bytes, "PRINT_END_PBPR_MSG") == 0 && strnlen(bytes + 64, 32) <= 31,
               "the end-of-print notice does not have its name and the handle text");
    }
    return {true, 1};
}

void CFuzzPlatform::RunLoop(std::uint32_t ms, int limit) {
    const std::uint32_t end = clock.Ticks() + ms;
    for (int dispatched = 0; dispatched < limit;) {
        if (queue.DispatchOne()) {
            ++dispatched;
        } else if (Ahead(clock.Ticks(), end) == 0) {
            break;
        } else {
            clock.IdleUntil(end);
        }
    }
}

std::unique_ptr<CMainFrame> CFuzzPlatform::StartDriver() {
    windows.RegisterMainClass(kMainWindowName);
    auto frame = std::make_unique<CMainFrame>(platform);
    Expect(frame->Create(), "the main window was not created");
    return frame;
}

}  // namespace fuzz
