#pragma once

#include <cstddef>
#include <cstdint>

// The protocol part of the kit's header only: the driver's core sees no windows.h.
#define LVC_PROTOCOL_ONLY
#include "client/lodevar_client.h"
#undef LVC_PROTOCOL_ONLY

// The protocol between the driver and its clients under the driver's names. Every value is the client
// kit's (client/lodevar_client.h, the one definition that ships to teller-application developers).
//
// The request text a client hands to its gate is a letter followed by fixed-width decimal fields and
// the data:
//
//   offset 0     letter        'A' 'C' 'I' 'L' 'M' 'O' 'R' 'S' 'U'
//   offset 1..2  field 1       row for 'L', characters per inch for 'C'
//   offset 3..4  field 2       column for 'L', lines per inch for 'C'
//   offset 5     option        font code for 'L', paper kind for 'I'
//   offset 6..8  data length
//   offset 9..   data          print text for 'L', stripe data for 'M', read data returned by 'R'

// Copy-data tags a client sends to the main window.
constexpr std::uintptr_t GATE_REGISTER = LVC_TAG_REGISTER;
constexpr std::uintptr_t GATE_RELEASE = LVC_TAG_RELEASE;
constexpr std::uintptr_t GATE_SHUTDOWN = LVC_TAG_SHUTDOWN;
// The driver's state for a diagnostic program (pbclient info, the kit's health check): answered with
// a copy-data block to the sender's window, without a gate and without touching the printer.
constexpr std::uintptr_t GATE_INFO = LVC_TAG_INFO;
inline constexpr char kInfoSignature[] = LVC_INFO_SIGNATURE;

// A registration block carries no data: its size field names the window for end-of-print notices.
// Under Wine the size of a block without data does not survive the way between processes, so the
// client kit sends there instead the notice record: these 8 bytes, then the window as 32 bits,
// little-endian (a block as large as the window's handle value would carry it, but Wine loses
// blocks above about 2 MB, and handles grow past that in a long session).
inline constexpr char kNoticeRecordTag[] = LVC_NOTICE_RECORD_TAG;
constexpr std::size_t kNoticeRecordTagBytes = sizeof(kNoticeRecordTag) - 1;
constexpr std::uint32_t kNoticeRecordBytes = LVC_NOTICE_RECORD_BYTES;

inline constexpr char kMainWindowName[] = LVC_DRIVER_WINDOW;
inline constexpr char kWaitEventName[] = LVC_WAIT_EVENT;

// The end-of-print notice: its name in 64 bytes, the main window in decimal in 32, then -1 and the
// status as 32-bit integers. Receivers must not rely on its copy-data tag; 0 is harmless even when a
// notice window is one of the driver's own: the main window ignores tag 0, and a gate runs the record
// as an immediate request whose letter 'P' is no request (result 0).
inline constexpr char kPrintEndName[] = LVC_PRINT_END_NAME;
constexpr std::uintptr_t kPrintEndTag = LVC_PRINT_END_TAG;
constexpr std::uint32_t kPrintEndBytes = LVC_PRINT_END_BYTES;

// The first 108 bytes of a queued request's block are what the gate keeps of it.
constexpr std::size_t kQueuedRequestBytes = LVC_QUEUED_BLOCK;

// The MSR advise reply: 'A', five zero bytes, the text's length as three digits, up to 98 bytes of
// text. Its copy-data tag is the reply's own letter, so that a client can tell it at a glance from
// the end-of-print notice (tag 0); receivers should still go by the size and the first byte.
constexpr std::size_t kAdviseReplyBytes = LVC_ADVISE_REPLY_BYTES;
constexpr std::uintptr_t kAdviseReplyTag = LVC_ADVISE_REPLY_TAG;

namespace gate {

constexpr std::size_t kHeaderBytes = LVC_HEADER_BYTES;
// 'R' writes the length at offsets 6..8 and up to 80 bytes of stripe data at offsets 9..88.
constexpr std::size_t kReadReplyOffset = LVC_READ_REPLY_OFFSET;
constexpr std::size_t kReadDataBytes = LVC_READ_DATA_BYTES;
constexpr std::size_t kReadReplyEnd = LVC_READ_BLOCK;
// The longest print text of 'L' and stripe data of 'M'.
constexpr int kPrintTextMax = LVC_PRINT_MAX;
constexpr int kStripeDataMax = LVC_STRIPE_MAX;
static_assert(kReadReplyEnd == kHeaderBytes + kReadDataBytes);

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
