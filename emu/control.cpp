#include "emu/control.h"

#include <charconv>
#include <vector>

namespace emu {

namespace {

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return std::string_view();
    }
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

// A whole decimal number that fits in 32 bits.
bool Number(std::string_view word, std::uint32_t& value) {
    if (word.empty()) {
        return false;
    }
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size();
}

// "on" or "off".
bool Switch(std::string_view word, bool& on) {
    if (word == "on" || word == "off") {
        on = word == "on";
        return true;
    }
    return false;
}

}  // namespace

ControlAction RunControlLine(CPrinterEmulator& printer, std::string_view line, std::uint32_t now) {
    line = Trim(line);
    std::vector<std::string_view> words = Words(line);
    if (words.empty()) {
        return ControlAction::Done;
    }
    const std::string_view verb = words[0];
    const std::size_t count = words.size();
    std::uint32_t number = 0;
    bool on = false;

    if (verb == "stripe" && count >= 2) {
        // Everything after the verb and one blank, so a stripe may hold blanks of its own.
        printer.SetStripe(std::string(line.substr(verb.size() + 1)));
        return ControlAction::Done;
    }
    if (verb == "insert" && (count == 2 || count == 3)) {
        Medium medium = words[1] == "passbook" ? Medium::Passbook : Medium::None;
        if (words[1] == "chit") {
            medium = Medium::Chit;
        }
        if (medium == Medium::None || (count == 3 && !Number(words[2], number))) {
            return ControlAction::Unknown;
        }
        if (count == 3) {
            printer.InsertAt(medium, now + number);
        } else {
            printer.Insert(medium);
        }
        return ControlAction::Done;
    }
    if (verb == "status" && count == 2) {
        if (words[1] == "auto") {
            printer.ClearForcedStatus();
            return ControlAction::Done;
        }
        if (!Number(words[1], number) || number > 255) {
            return ControlAction::Unknown;
        }
        return printer.ForceStatus(static_cast<int>(number)) ? ControlAction::Done : ControlAction::Unknown;
    }
    if ((verb == "cut" || verb == "slow") && count == 2) {
        if (!Number(words[1], number)) {
            return ControlAction::Unknown;
        }
        if (verb == "cut") {
            printer.CutFrames(number);
        } else {
            printer.SetSlowFrames(number);
        }
        return ControlAction::Done;
    }
    if ((verb == "silent" || verb == "garbage" || verb == "flood" || verb == "cts") && count == 2) {
        if (!Switch(words[1], on)) {
            return ControlAction::Unknown;
        }
        if (verb == "silent") {
            printer.SetSilent(on);
        } else if (verb == "garbage") {
            printer.SetGarbage(on);
        } else if (verb == "flood") {
            printer.SetFlood(on, now);
        } else {
            printer.SetCts(on);
        }
        return ControlAction::Done;
    }
    if (count != 1) {
        return ControlAction::Unknown;
    }
    if (verb == "remove") {
        printer.Remove();
    } else if (verb == "unformatted") {
        printer.SetStripeUnformatted();
    } else if (verb == "nostripe") {
        printer.SetNoStripe();
    } else if (verb == "jam") {
        printer.Jam();
    } else if (verb == "page") {
        return ControlAction::Page;
    } else if (verb == "unplug") {
        return ControlAction::Unplug;
    } else if (verb == "replug") {
        return ControlAction::Replug;
    } else if (verb == "quit") {
        return ControlAction::Quit;
    } else {
        return ControlAction::Unknown;
    }
    return ControlAction::Done;
}

}  // namespace emu
