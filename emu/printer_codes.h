#pragma once

// The bytes and codes the emulated printers and the tests that drive them share: frame bytes,
// command letters of both families, and the status codes as they travel on the wire.

#include <cstdint>

namespace emu {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kGs = 0x1D;
constexpr std::uint8_t kXon = 0x11;
constexpr std::uint8_t kXoff = 0x13;

// Status codes a family 0 printer puts in its status frame (and the codes the driver derives
// from a family 1 answer).
namespace code {
constexpr int kStripeError = 113;  // the stripe could not be read or written
constexpr int kPaperJam = 49;
constexpr int kNoPaper = 50;
constexpr int kPassbookIn = 65;  // 'A'
constexpr int kChitIn = 66;      // 'B'
constexpr int kNothingIn = 80;   // 'P'
constexpr int kBusy = 85;
constexpr int kUnformatted = 127;  // 0x7F: the stripe holds no data format
constexpr int kEndDetect = 135;
}  // namespace code

// Family 0: every command is ESC and a letter, some with a value behind it.
namespace cmd0 {
constexpr std::uint8_t kInitialise = '0';  // also clears a paper jam
constexpr std::uint8_t kStatus = 'j';
constexpr std::uint8_t kClear = 'l';
constexpr std::uint8_t kSelectPath = 'S';  // + '5' passbook or '6' chit
constexpr std::uint8_t kRow = 'L';         // + digits: the printer's row ("000" is row zero)
constexpr std::uint8_t kColumn = 'H';      // + digits
constexpr std::uint8_t kEject = 'O';
constexpr std::uint8_t kColour = '!';  // + '0' black or '1' red
constexpr std::uint8_t kPitch10 = '<';
constexpr std::uint8_t kPitch12 = '=';
constexpr std::uint8_t kEnlarged = '3';
constexpr std::uint8_t kNormalSize = '4';
constexpr std::uint8_t kFace = 'm';          // + '0' Myoungjo or '1' Godic
constexpr std::uint8_t kMsrRead = ']';       // answered by the stripe frame
constexpr std::uint8_t kMsrWrite = 't';      // + 16 characters + GS
constexpr std::uint8_t kMsrWriteEnd = '\\';  // commits the data of ESC 't'
constexpr std::uint8_t kPrintEnd = '[';      // + "000"
constexpr std::uint8_t kStatusReply = 'r';   // third byte of a status frame
constexpr std::uint8_t kStripeFrame = 's';   // third byte of a stripe frame, after ESC
// The row the printer counts is the driver's row plus this.
constexpr int kRowOffset = 4;
constexpr int kStripeChars = 16;
}  // namespace cmd0

// Family 1: status and initialise stand alone; everything else travels between begin and end.
namespace cmd1 {
constexpr std::uint8_t kInitialise = 'f';
constexpr std::uint8_t kStatus = 'h';
constexpr std::uint8_t kBegin = 'm';
constexpr std::uint8_t kEnd = 'j';
constexpr std::uint8_t kEject = 'u';
constexpr std::uint8_t kColumn = 'q';  // + digits, in half columns
constexpr std::uint8_t kRow = 'i';     // + digits
constexpr std::uint8_t kBlack = 'c';
constexpr std::uint8_t kRed = 'C';
constexpr std::uint8_t kPitch = '/';  // + one digit: pitch code
constexpr std::uint8_t kEnlarged = 'w';
constexpr std::uint8_t kNormalSize = 'v';
constexpr std::uint8_t kMsrRead = '{';   // the next status answer carries the stripe
constexpr std::uint8_t kMsrWrite = 'e';  // + two-digit length + data
constexpr std::uint8_t kShift = 'J';     // + '1' double-byte text on, '0' off

// First byte of each answer to the status request.
constexpr std::uint8_t kStatusAnswer = 0x40;      // + one byte + status bits
constexpr std::uint8_t kUnformattedAnswer = 'A';  // stripe unformatted: initialise
constexpr std::uint8_t kStripeErrorAnswer = 'E';  // stripe error: eject
constexpr std::uint8_t kStripeAnswer = 'M';       // + two bytes + data + 0xFF
constexpr std::uint8_t kStripeAnswerEnd = 0xFF;
// Status bits of a 0x40 answer; none set means a medium is in.
constexpr std::uint8_t kBitNothingIn = 0x01;
constexpr std::uint8_t kBitEndDetect = 0x02;
constexpr std::uint8_t kBitBusy = 0x20;
constexpr int kStripeCapacity = 22;
}  // namespace cmd1

}  // namespace emu
