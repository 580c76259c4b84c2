#pragma once

#include <string>

#include "os/system.h"

// The diagnostics log: what happened to the printer, in one file that branch IT can send to support
// after an incident. Off unless the settings file says LOG=1. It lives in the User folder as
// "Lodevar.log"; when a line would take it past kFileBytes it becomes "Lodevar.log.1" (replacing the
// one before) and a new file starts, so the two never hold more than twice that.
//
// A line is the local time, an event and its detail. Callers log states and the driver's own texts
// only: never stripe data nor printed text. A write that fails is dropped without a word: nothing
// the driver does waits for the log or depends on it.
class CDiagLog {
public:
    static constexpr long long kFileBytes = 256 * 1024;
    static constexpr char kFileName[] = "Lodevar.log";

    explicit CDiagLog(os::ISystem& system) : m_system(system) {}

    // Starts writing to "<folder>\Lodevar.log" when `enabled`; an empty folder writes nothing.
    void Open(const std::string& folder, bool enabled);
    bool Enabled() const { return !m_strPath.empty(); }
    const std::string& Path() const { return m_strPath; }
    // One line; the detail is cut at its first line break and at 400 bytes.
    void Write(const char* event, const char* detail);

private:
    os::ISystem& m_system;
    std::string m_strPath;
    std::string m_strOldPath;
};
