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
                  : name == "FAKE_PBPR_WRITE_ANSWER" ? &writeAnswer
                                                     : nullptr;
    if (target == nullptr || numbers.size() != 1) {
        return false;
    }
    *target = numbers[0];
    return true;
}

int CFakePrinterLibrary::Call(const char* name, char* buffer) {
    if (std::strcmp(name, "ReadMsrw") == 0 && buffer != nullptr) {
        readBufferZeroed = std::all_of(buffer, buffer + kReadBufferBytes, [](char c) { return c == '\0'; });
        std::memcpy(buffer, stripe.c_str(), std::min(stripe.size() + 1, kReadBufferBytes));
    }
    return Answer(name, "");
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

int CFakePrinterLibrary::Answer(std::string_view name, const std::string& arguments) {
    calls.push_back(std::string(name) + "(" + arguments + ")");
    if (listener) {
        listener(calls.back());
    }
    if (name == "OpenPbpr") {
        const int answer = openAnswers.empty() ? 1 : openAnswers.front();
        if (openAnswers.size() > 1) {
            openAnswers.erase(openAnswers.begin());
        }
        return answer;
    }
    return name == "PrtIsPowerOn" ? powerAnswer
           : name == "OpenMsrw"   ? openMsrAnswer
           : name == "ReadMsrw"   ? readMsrAnswer
           : name == "WriteMsrw"  ? writeAnswer
                                 : (name == "WriteCommand" || name == "ExpelPaper" || name == "SetPrtPortID");
}

}  // namespace fake
