#include "tests/fake_printer_library/fake_printer_core.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace fake {

bool CFakePrinterLibrary::Apply(std::string_view name, std::string_view value) {
    if (name == "FAKE_PBPR_STRIPE") {
        stripe = std::string(value);
        return true;
    }
    std::vector<int> numbers;
    for (std::size_t start = 0; start <= value.size();) {
        std::size_t end = std::min(value.find(',', start), value.size());
        int number = 0;
        auto [stop, error] = std::from_chars(value.data() + start, value.data() + end, number);
        if (error != std::errc() || stop != value.data() + end) {
            return false;
        }
        numbers.push_back(number);
        start = end + 1;
    }
    if (name == "FAKE_PBPR_OPEN_ANSWERS") {
        openAnswers = numbers;
        return true;
    }
    int* target = name == "FAKE_PBPR_POWER"          ? &powerAnswer
                  : name == "FAKE_PBPR_OPEN_MSR"     ? &openMsrAnswer
                  : name == "FAKE_PBPR_READ_MSR"     ? &readMsrAnswer
                  : name == "FAKE_PBPR_WRITE_ANSWER" ? &writeAnswer
                                                     : nullptr;
    if (target == nullptr || numbers.size() != 1) {
        return false;
    }
    *target = numbers[0];
    return true;
}

int CFakePrinterLibrary::OpenPbpr(int a, int b, int c, int d) {
    std::string line = "OpenPbpr(";
    for (int value : {a, b, c, d}) {
        line.append(std::to_string(value)).append(",");
    }
    line.back() = ')';
    int answer = openAnswers.empty() ? 1 : openAnswers.front();
    if (openAnswers.size() > 1) {
        openAnswers.erase(openAnswers.begin());
    }
    return Log(line, answer);
}

int CFakePrinterLibrary::ReadMsrw(char* buffer) {
    Log("ReadMsrw()", 0);
    readBufferZeroed =
        buffer != nullptr && std::all_of(buffer, buffer + kReadBufferBytes, [](char c) { return c == '\0'; });
    if (buffer != nullptr) {
        std::memcpy(buffer, stripe.c_str(), std::min(stripe.size() + 1, kReadBufferBytes));
    }
    return readMsrAnswer;
}

std::string CFakePrinterLibrary::Quote(const char* text) {
    if (text == nullptr) {
        return "(null)";
    }
    std::string out = "\"";
    for (const char* at = text; *at != '\0'; ++at) {
        auto byte = static_cast<unsigned char>(*at);
        char escaped[5] = {static_cast<char>(byte)};
        if (byte < 0x20 || byte >= 0x7f || byte == '"' || byte == '\\') {
            std::snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
        }
        out += escaped;
    }
    return out + "\"";
}

int CFakePrinterLibrary::Log(std::string line, int answer) {
    calls.push_back(std::move(line));
    if (listener) {
        listener(calls.back());
    }
    return answer;
}

}  // namespace fake
