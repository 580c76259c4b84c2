#include "base/status_codes.h"

#include "lodevar_texts.h"

namespace status {
namespace {

struct Entry {
    int code;
    const char* name;  // nullptr: the code has no name
    const char* text;  // nullptr: the code has no text; code page 949 bytes
};

// The names and the texts of the codes; a text the list leaves empty is none.
#define LODEVAR_STATUS_ENTRY(code, name) \
    {code, #name, sizeof(LVC_CP949_##name) > 1 ? LVC_CP949_##name : nullptr},
constexpr Entry kTable[] = {
    // clang-format off
    LVC_STATUS_CODES(LODEVAR_STATUS_ENTRY)
    // clang-format on
    {CANCELLED, nullptr, LVC_CP949_CANCELLED},
};
#undef LODEVAR_STATUS_ENTRY

const Entry* Find(int code) {
    for (const Entry& entry : kTable) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

const char* Name(int code) {
    const Entry* entry = Find(code);
    return entry != nullptr ? entry->name : nullptr;
}

const char* Text(int code) {
    const Entry* entry = Find(code);
    return entry != nullptr ? entry->text : nullptr;
}

}  // namespace status
