#pragma once

#include <string>

#include "os/sim/sim_library.h"
#include "tests/fake_printer_library/fake_printer_core.h"

// The fake printer library in process, for native tests: one function per entry point, with the
// driver's own pointer types, each answering from the core installed (nullptr: a default one).
namespace fake {

void Install(CFakePrinterLibrary* core);

// The entry points by name, as the simulated loader hands them out.
const sim::CSimLibraryLoader::Exports& Exports();

// Registers the entry points, all or all but `omit`, with the simulated loader as `fullPath`.
void Register(sim::CSimLibraryLoader& loader, const std::string& fullPath, const char* omit = nullptr);

}  // namespace fake
