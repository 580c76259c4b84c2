// Reading a client's request. The block comes from another program and is trusted for nothing: it is
// read only within the size the client gave, and a request that cannot run inside its block is
// refused before anything is done. The refusals:
//
//   block null or shorter than the 9 bytes of the fixed fields             56 ERR_COMMAND
//   'L' or 'M' whose data length exceeds the bytes behind the fields       18 ERR_DATOVER
//       (immediate: size - 9; queued: the 99 data bytes of the record)
//   'L' longer than 128 bytes (its print buffer)                           18 ERR_DATOVER
//   'M' longer than 127 bytes (its stripe buffer keeps a terminator)       18 ERR_DATOVER
//   'L' with a negative row or column                                      56 ERR_COMMAND
//   'R' whose block cannot take the reply at offsets 6..88 (< 89 bytes)    18 ERR_DATOVER
//
// Length checks come before the position check of 'L'. The other letters do not read the length
// field, so it may hold anything for them. What is not refused is read as the fields say: a field
// without digits is 0 and a sign is a sign, so an 'L' with a length of 0 or below prints nothing and
// answers 0, and an 'M' with a length below 1 answers 113 (its handler). A queued block shorter than
// the 108 bytes a record takes is refused when it arrives (gate.cpp).
#include "gate/request.h"

#include <cstring>

#include "base/decimal.h"
#include "base/status_codes.h"

namespace gate {

namespace {

constexpr int kFieldCopyMax = 127;

}  // namespace

int ParseField(const char* field, int width) {
    if (width < 0 || width > kFieldCopyMax) {
        width = kFieldCopyMax;
    }
    char copy[kFieldCopyMax + 1] = {};
    std::memcpy(copy, field, static_cast<std::size_t>(width));
    return ParseDecimal(copy);
}

bool IsRequestLetter(char letter) {
    return letter != '\0' && std::strchr(LVC_LETTERS, letter) != nullptr;
}

int ParseRequest(char* block, std::size_t size, Request& request) {
    if (block == nullptr || size < kHeaderBytes) {
        return status::ERR_COMMAND;
    }
    request.text = block;
    request.size = size;
    request.letter = block[0];
    request.field1 = ParseField(block + 1, 2);
    request.field2 = ParseField(block + 3, 2);
    request.option = block[5];
    request.length = ParseField(block + 6, 3);

    const std::size_t behind = size - kHeaderBytes;
    const bool readsData = request.letter == 'L' || request.letter == 'M';
    if (readsData && request.length > 0 && static_cast<std::size_t>(request.length) > behind) {
        return status::ERR_DATOVER;
    }
    if (request.letter == 'L') {
        if (request.length > kPrintTextMax) {
            return status::ERR_DATOVER;
        }
        if (request.field1 < 0 || request.field2 < 0) {
            return status::ERR_COMMAND;
        }
    }
    if (request.letter == 'M' && request.length > kStripeDataMax) {
        return status::ERR_DATOVER;
    }
    if (request.letter == 'R' && size < kReadReplyEnd) {
        return status::ERR_DATOVER;
    }
    return status::DONE;
}

}  // namespace gate
