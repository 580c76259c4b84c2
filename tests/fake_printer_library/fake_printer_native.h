#pragma once

#include <string>

#include "comm/printer_library.h"
#include "os/sim/sim_library.h"
#include "tests/fake_printer_library/fake_printer_core.h"

// The fake printer library in process, for native tests: one function per entry point, with the
// driver's own pointer types, each answering from the core the running test installed.
namespace fake {

// Makes `core` the one the entry points answer from (nullptr: a default core of its own). A test
// fixture installs its core in its constructor and removes it in its destructor.
void Install(CFakePrinterLibrary* core);

namespace native {
#define LODEVAR_FAKE_DECLARE(name, type) extern const type name;
LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_DECLARE)
#undef LODEVAR_FAKE_DECLARE
}  // namespace native

// Registers the entry points with the simulated loader as the library file `fullPath`: all of
// them, or all but the one named `omit`.
void Register(sim::CSimLibraryLoader& loader, const std::string& fullPath, const char* omit = nullptr);

}  // namespace fake
