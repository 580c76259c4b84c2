#pragma once

#include "os/pump.h"

namespace win32 {

// The calling thread's message queue.
class CWin32Pump : public os::IMessagePump {
public:
    bool DispatchOne() override;
    bool PeekKeyMessage(os::KeyMessage& key) override;
};

}  // namespace win32
