#pragma once

#include <string>

#include "comm/printer_library.h"
#include "os/sim/sim_library.h"
#include "tests/fake_printer_library/fake_printer_core.h"

// The fake printer library in process, for native tests: one function per entry point, with the
// driver's own pointer types, each answering from the core installed (nullptr: a default one).
namespace fake {

void Install(CFakePrinterLibrary* core);

namespace native {
#define LODEVAR_FAKE_DECLARE(name, type) extern const type name;
LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_DECLARE)
#undef LODEVAR_FAKE_DECLARE
}  // namespace native

// Registers the entry points, all or all but `omit`, with the simulated loader as `fullPath`.
void Register(sim::CSimLibraryLoader& loader, const std::string& fullPath, const char* omit = nullptr);

}  // namespace fake
