// The diagnostics log: bounded, rotated, and never in the way of a printer exchange.
#include "app/diag_log.h"

#include <cstdio>

namespace {

constexpr std::size_t kDetailBytes = 400;
constexpr std::size_t kPathBytes = 260;

// The length of the first line of `text`, at most `limit` bytes and never half a double-byte
// character of code page 949 (a lead byte is 0x81 or above).
std::size_t FirstLineLength(const std::string& text, std::size_t limit) {
    std::size_t at = 0;
    while (at < text.size() && text[at] != '\r' && text[at] != '\n') {
        std::size_t width = static_cast<unsigned char>(text[at]) >= 0x81 ? 2 : 1;
        if (at + width > limit || at + width > text.size()) {
            break;
        }
        at += width;
    }
    return at;
}

}  // namespace

void CDiagLog::Open(const std::string& folder, bool enabled) {
    m_strPath.clear();
    m_strOldPath.clear();
    std::string path = folder + "\\" + kFileName;
    if (!enabled || folder.empty() || path.size() + 2 >= kPathBytes) {
        return;
    }
    m_strPath = path;
    m_strOldPath = path + ".1";
}

void CDiagLog::Write(const char* event, const char* detail) {
    if (!Enabled()) {
        return;
    }
    std::string text = detail != nullptr ? detail : "";
    // One record per line, whatever the detail holds.
    text.resize(FirstLineLength(text, kDetailBytes));
    os::LocalTime now = m_system.Now();
    char stamp[32];
    std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d.%03d ", now.year, now.month, now.day,
                  now.hour, now.minute, now.second, now.millisecond);
    std::string line = stamp;
    line += event != nullptr ? event : "";
    if (!text.empty()) {
        line += " " + text;
    }
    line += "\r\n";
    // The file may hold UTF-8, where a Korean character takes three bytes for this text's two: the
    // line counts twice, so that the file stays within its bound.
    const auto room = static_cast<long long>(2 * line.size());
    long long size = m_system.FileSize(m_strPath.c_str());
    if (size >= 0 && size + room > kFileBytes &&
        !m_system.RenameFile(m_strPath.c_str(), m_strOldPath.c_str())) {
        return;  // the full file could not be put aside: the line is dropped, the bound kept
    }
    m_system.AppendText(m_strPath.c_str(), line.c_str());
}
