// The fake printer library as a Windows DLL, for the end-to-end tests: the entry points exported by
// plain name (see the .def files), answering from one core that the FAKE_PBPR_* settings of the
// environment configure at the first call (CFakePrinterLibrary::Apply). FAKE_PBPR_LOG names a file
// that gets one line per call and one per setting not understood, appended.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "tests/fake_printer_library/fake_printer_core.h"

namespace {

void AppendLine(const std::string& path, const std::string& line) {
    if (std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

fake::CFakePrinterLibrary* Configured() {
    static fake::CFakePrinterLibrary core;
    const char* log = std::getenv("FAKE_PBPR_LOG");
    std::string logPath = log != nullptr ? log : "";
    for (const char* name : fake::CFakePrinterLibrary::kSettingNames) {
        const char* value = std::getenv(name);
        if (value != nullptr && !core.Apply(name, value)) {
            AppendLine(logPath, std::string("setting not understood: ") + name + "=" +
                                    fake::CFakePrinterLibrary::Quote(value));
        }
    }
    core.listener = [logPath](const std::string& line) { AppendLine(logPath, line); };
    return &core;
}

fake::CFakePrinterLibrary& Core() {
    static fake::CFakePrinterLibrary* core = Configured();
    return *core;
}

}  // namespace

extern "C" {
LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_ENTRY)
}  // extern "C"

// Every export has exactly the pointer type the driver casts it to.
#define LODEVAR_FAKE_CHECK_TYPE(name, type) \
    static_assert(std::is_same_v<decltype(&name), type>, #name " has the wrong type");
LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_CHECK_TYPE)
#undef LODEVAR_FAKE_CHECK_TYPE
