#pragma once

#include "os/clock.h"

namespace win32 {

// The system tick counter; Idle waits for window input of this thread for at most 1 ms.
class CWin32Clock : public os::IClock {
public:
    std::uint32_t Ticks() override;
    void Sleep(std::uint32_t ms) override;
    void Idle() override;
};

}  // namespace win32
