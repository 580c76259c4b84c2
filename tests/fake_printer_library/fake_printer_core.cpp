#include "tests/fake_printer_library/fake_printer_core.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace fake {

namespace {

// A whole decimal integer, optionally negative; nothing before or after it.
bool ParseInt(std::string_view text, int& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

std::string Ints(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) {
        if (!out.empty()) {
            out += ',';
        }
        out += std::to_string(value);
    }
    return out;
}

}  // namespace

void CFakePrinterLibrary::SetOpenAnswers(std::vector<int> answers) {
    m_openAnswers = std::move(answers);
    m_nOpenCalls = 0;
}

bool CFakePrinterLibrary::Apply(std::string_view name, std::string_view value) {
    int number = 0;
    if (name == "FAKE_PBPR_STRIPE") {
        SetStripe(std::string(value));
        return true;
    }
    if (name == "FAKE_PBPR_OPEN_ANSWERS") {
        std::vector<int> answers;
        for (;;) {
            std::size_t comma = value.find(',');
            if (!ParseInt(value.substr(0, comma), number)) {
                return false;
            }
            answers.push_back(number);
            if (comma == std::string_view::npos) {
                break;
            }
            value.remove_prefix(comma + 1);
        }
        SetOpenAnswers(std::move(answers));
        return true;
    }
    int* target = nullptr;
    if (name == "FAKE_PBPR_POWER") {
        target = &m_nPowerAnswer;
    } else if (name == "FAKE_PBPR_OPEN_MSR") {
        target = &m_nOpenMsrAnswer;
    } else if (name == "FAKE_PBPR_READ_MSR") {
        target = &m_nReadMsrAnswer;
    } else if (name == "FAKE_PBPR_WRITE_ANSWER") {
        target = &m_nWriteAnswer;
    }
    if (target == nullptr || !ParseInt(value, number)) {
        return false;
    }
    *target = number;
    return true;
}

int CFakePrinterLibrary::OpenPbpr(int a, int b, int c, int d) {
    Log("OpenPbpr(" + Ints({a, b, c, d}) + ")", 0);
    if (m_openAnswers.empty()) {
        return 1;
    }
    std::size_t at = m_nOpenCalls < m_openAnswers.size() ? m_nOpenCalls : m_openAnswers.size() - 1;
    ++m_nOpenCalls;
    return m_openAnswers[at];
}

int CFakePrinterLibrary::ReadMsrw(char* buffer) {
    Log("ReadMsrw()", 0);
    m_bReadBufferZeroed =
        buffer != nullptr && std::all_of(buffer, buffer + kReadBufferBytes, [](char c) { return c == '\0'; });
    if (buffer != nullptr) {
        std::memcpy(buffer, m_strStripe.c_str(), std::min(m_strStripe.size() + 1, kReadBufferBytes));
    }
    return m_nReadMsrAnswer;
}

void CFakePrinterLibrary::ClearCalls() {
    m_calls.clear();
    m_times.clear();
}

std::string CFakePrinterLibrary::Quote(const char* text) {
    if (text == nullptr) {
        return "(null)";
    }
    std::string out = "\"";
    for (const char* at = text; *at != '\0'; ++at) {
        unsigned char byte = static_cast<unsigned char>(*at);
        if (byte < 0x20 || byte >= 0x7f || byte == '"' || byte == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
            out += escaped;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out + "\"";
}

int CFakePrinterLibrary::Log(std::string line, int answer) {
    m_times.push_back(m_now ? m_now() : 0);
    m_calls.push_back(std::move(line));
    if (m_listener) {
        m_listener(m_calls.back());
    }
    return answer;
}

}  // namespace fake
