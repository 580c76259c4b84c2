#pragma once

#include <cstddef>

// The request text a client hands to its gate, and the parser that reads it. A request is a letter
// followed by fixed-width decimal fields and the data:
//
//   offset 0     letter        'A' 'C' 'I' 'L' 'M' 'O' 'R' 'S' 'U'
//   offset 1..2  field 1       row for 'L', characters per inch for 'C'
//   offset 3..4  field 2       column for 'L', lines per inch for 'C'
//   offset 5     option        font code for 'L', paper kind for 'I'
//   offset 6..8  data length
//   offset 9..   data          print text for 'L', stripe data for 'M', read data returned by 'R'
namespace gate {

constexpr std::size_t kHeaderBytes = 9;
// 'R' writes the length at offsets 6..8 and up to 80 bytes of stripe data at offsets 9..88.
constexpr std::size_t kReadReplyOffset = 6;
constexpr std::size_t kReadDataBytes = 80;
constexpr std::size_t kReadReplyEnd = kHeaderBytes + kReadDataBytes;
// The longest print text of 'L' and stripe data of 'M'.
constexpr int kPrintTextMax = 128;
constexpr int kStripeDataMax = 127;

// Reads a decimal field of `width` bytes (a width below 0 or above 127 counts as 127): the bytes are
// copied and terminated, leading white space is skipped, then an optional sign and the digits up to
// the first non-digit are read; a field without digits is 0. Values beyond the range of int are
// held at its ends. The caller guarantees that `width` bytes can be read.
int ParseField(const char* field, int width);

// A request whose fixed fields have been read. `text` and `size` are the client's block; the
// handlers read (and 'R' writes) only within it.
struct Request {
    char* text = nullptr;
    std::size_t size = 0;
    char letter = 0;
    int field1 = 0;
    int field2 = 0;
    char option = 0;
    int length = 0;
};

bool IsRequestLetter(char letter);

// Reads the fields of a block of `size` bytes and checks that the request can run without reading
// or writing outside the block. Returns 1 when it can, otherwise the refusal code (see request.cpp).
int ParseRequest(char* block, std::size_t size, Request& request);

}  // namespace gate
