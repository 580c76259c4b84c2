#pragma once

#include <cstdint>
#include <string>

#include "emu/printer_emulator.h"

// The driver's end of a line to an emulated printer, on a clock the test moves by hand.
class EmuLine {
public:
    explicit EmuLine(int family) : printer(family) {}

    void Send(const std::string& bytes) {
        printer.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
    }
    // Everything that has arrived by now.
    std::string Take() {
        std::string bytes;
        std::uint8_t buffer[64];
        for (;;) {
            std::size_t n = printer.Read(buffer, sizeof(buffer), now);
            if (n == 0) {
                return bytes;
            }
            bytes.append(reinterpret_cast<const char*>(buffer), n);
        }
    }
    // Sends a request and takes what has arrived `waitMs` later.
    std::string Ask(const std::string& request, std::uint32_t waitMs = 5) {
        Send(request);
        now += waitMs;
        return Take();
    }

    emu::CPrinterEmulator printer;
    std::uint32_t now = 1000;
};
