#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "emu/printer_emulator.h"

namespace emu {

// What a control line asks of whoever runs the emulator, beyond what it did to the printer.
enum class ControlAction {
    Done,     // carried out on the printer (or an empty line)
    Page,     // show the rendered page
    Unplug,   // close the line: the port goes dead
    Replug,   // open a new line, keeping the printer's state
    Quit,     // end
    Unknown,  // not a command, or a command with a bad value, or one the family cannot do
};

// Carries out one line of the emulator's control language on `printer`; `now` is the line's
// clock, for insertions with a delay. The commands:
//   insert passbook|chit [DELAY_MS]   remove              stripe TEXT
//   unformatted                       nostripe            status CODE | status auto
//   silent on|off                     garbage on|off      cut N (0: whole frames)
//   flood on|off                      (noise sent unasked, 10 bytes every 10 ms)
//   slow MS (0: whole frames)         cts on|off          jam
//   unplug  replug  page  quit
// Blanks around words do not matter; TEXT is everything after "stripe ", blanks included.
ControlAction RunControlLine(CPrinterEmulator& printer, std::string_view line, std::uint32_t now);

}  // namespace emu
