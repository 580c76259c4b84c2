// The device operations: the only way the gates reach the printer. Each wraps one printer operation
// of the link in the same frame: end a running MSR wait and open the device on demand (in the order
// each operation gives), run the printer operation under the exchange guard, trace it when TRACE is
// on, and name a failure so that its status text becomes the main window's.
//
// A link that went down during the operation (the device is gone, or the driver is closing) makes
// the operation answer 242, whatever the printer procedure made of it (an eject or a setter would
// answer 1): the outermost exchange then closes a lost device (app/main_frame_exchange.cpp).
//
// An operation called while another printer exchange is running further down the stack (the link's
// waits dispatch messages) does nothing and answers 85, or 242 while the device is being opened
// (DeviceBusy, the one busy rule: the gates ask it before calling, and it keeps the wire to one
// exchange for any other caller too).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/main_frame.h"
#include "base/bounded_text.h"
#include "base/status_codes.h"
#include "device/texts.h"

namespace {

// The print work buffer takes at most 510 bytes of text, a CR and the terminator. PRINTCHIT keeps
// the same bound, so a longer or negative length (which callers must not pass) never reads more
// than 510 bytes of the caller's text nor writes past the buffer.
constexpr int kPrintBufferBytes = 512;
constexpr int kPrintTextMax = 510;
// The stripe work buffer takes at most 255 bytes of data and the terminator.
constexpr int kStripeBufferBytes = 256;
constexpr int kStripeDataMax = 255;
constexpr char kLoneCr[] = "\r";
// Room for a trace text with a whole print line in it.
constexpr int kTraceBytes = 640;
// The pitch the printer always gets, whatever a client asks for.
constexpr int kFixedCpi = 12;
constexpr int kFixedLpi = 5;
// The printer library's reset command.
constexpr char kLibraryResetCommand[] =
    "\x1b"
    "0";

int BoundedLength(int length, int limit) {
    return length < 0 || length > limit ? limit : length;
}

// Copies `count` bytes of `text` into `work` (nothing from a null text); returns the count copied.
int CopyText(char* work, const char* text, int count) {
    if (text == nullptr) {
        return 0;
    }
    std::memcpy(work, text, static_cast<std::size_t>(count));
    return count;
}

}  // namespace

int CMainFrame::DeviceBusy() const {
    if (!ExchangeRunning()) {
        return 0;
    }
    return OpenRunning() ? status::ERR_PBPROFF : status::BANK_ACTING;
}

bool CMainFrame::OpenOnDemand() {
    if (m_comm.m_bOpen == 0 && m_bAutoReopen != 0) {
        OpenPrinter(0);
    }
    return m_comm.m_bOpen != 0;
}

void CMainFrame::EndMsrWait() {
    if (m_bMsrWait != 0) {
        StopMsrAdvise(m_pMsrGate);
    }
}

// The common steps before the printer operation: 0 when it may run, else the operation's answer.
// A device that stays closed answers 242 and nothing else happens; an MSR wait ended before the
// open stays ended.
int CMainFrame::PrepareDevice(bool endWaitFirst) {
    if (int busy = DeviceBusy(); busy != 0) {
        return busy;
    }
    if (endWaitFirst) {
        EndMsrWait();
    }
    if (!OpenOnDemand()) {
        return status::ERR_PBPROFF;
    }
    if (!endWaitFirst) {
        EndMsrWait();
    }
    return 0;
}

int CMainFrame::LinkVerdict(int result) {
    if (!m_comm.LinkDown()) {
        return result;
    }
    m_comm.SetErrorText(status::ERR_PBPROFF);
    return status::ERR_PBPROFF;
}

int CMainFrame::Answer(int result) {
    if (result != status::DONE) {
        StatusName(result);
    }
    return result;
}

void CMainFrame::TraceOperation(const char* tag, const char* detail) {
    if (m_settings.trace != 0) {
        FrameTrace(tag, detail);
    }
}

int CMainFrame::GETSTATUS() {
    if (int busy = DeviceBusy(); busy != 0) {
        return busy;
    }
    if (m_comm.m_bOpen == 0) {
        return status::ERR_PBPROFF;
    }
    CExchange exchange(*this);
    int result = LinkVerdict(m_comm.QueryStatus());
    char detail[32];
    std::snprintf(detail, sizeof(detail), "rc = 0x%02x", static_cast<unsigned>(result));
    TraceOperation("GETSTATUS", detail);
    return result;
}

int CMainFrame::PRINTBANK(std::int16_t column, std::int16_t row, const char* text, std::int16_t length) {
    return PrintAt(false, column, row, text, length);
}

int CMainFrame::PRINTCHIT(std::int16_t column, std::int16_t row, const char* text, std::int16_t length) {
    return PrintAt(true, column, row, text, length);
}

int CMainFrame::PrintAt(bool chit, std::int16_t column, std::int16_t row, const char* text,
                        std::int16_t length) {
    if (int refused = PrepareDevice(true); refused != 0) {
        return refused;
    }
    CExchange exchange(*this);
    char work[kPrintBufferBytes];
    // The chit's line is blank-filled; both end with a CR and the terminator after the text.
    std::memset(work, chit ? ' ' : '\0', sizeof(work));
    int count = CopyText(work, text, BoundedLength(length, kPrintTextMax));
    work[count] = '\r';
    work[count + 1] = '\0';
    int result =
        LinkVerdict(chit ? m_comm.PrintChitAt(column, row, work) : m_comm.PrintPassbookAt(column, row, work));
    if (m_settings.trace != 0) {
        char detail[kTraceBytes];
        std::snprintf(detail, sizeof(detail),
                      chit ? "xpos=%d, ypos=%d, len=%d, data=%.*s" : "xpos=%d, ypos=p%d, len=%d, data=%.*s",
                      column, row, count, count, work);
        FrameTrace(chit ? text::kChitPrintTag : text::kPassbookPrintTag, detail);
    }
    return Answer(result);
}

int CMainFrame::PAPERIN(int kind) {
    if (int refused = PrepareDevice(false); refused != 0) {
        return refused;
    }
    CExchange exchange(*this);
    if (kind == 1) {
        m_comm.SelectChit();
    } else {
        m_comm.SelectPassbook();
    }
    int result = LinkVerdict(m_comm.PaperIn(kind));
    TraceOperation("PAPERIN", text::kNone);
    return Answer(result);
}

int CMainFrame::PAPEROUT() {
    if (int refused = PrepareDevice(true); refused != 0) {
        return refused;
    }
    CExchange exchange(*this);
    m_comm.PaperOut();  // whatever the printer answers, the medium is on its way out
    TraceOperation("PAPEROUT", text::kNone);
    return Answer(LinkVerdict(status::DONE));
}

int CMainFrame::MSRREAD(char* buffer, int capacity) {
    if (int refused = PrepareDevice(false); refused != 0) {
        return refused;
    }
    CExchange exchange(*this);
    int result = LinkVerdict(m_comm.MsrRead(buffer, capacity));
    if (m_settings.trace != 0 && buffer != nullptr && capacity > 0) {
        auto shown = static_cast<int>(std::find(buffer, buffer + capacity, '\0') - buffer);
        char detail[kTraceBytes];
        std::snprintf(detail, sizeof(detail), "%.*s", shown, buffer);
        FrameTrace("MSRREAD", detail);
    }
    return Answer(result);
}

int CMainFrame::MSRWRITE(const char* data, int length) {
    if (int refused = PrepareDevice(false); refused != 0) {
        return refused;
    }
    CExchange exchange(*this);
    m_comm.PrintPassbook(kLoneCr);  // the text write a passbook print ends with; its result is not used
    char work[kStripeBufferBytes] = {};
    int count = CopyText(work, data, BoundedLength(length, kStripeDataMax));
    int result = LinkVerdict(m_comm.MsrWrite(work));
    if (m_settings.trace != 0) {
        char detail[kTraceBytes];
        std::snprintf(detail, sizeof(detail), "len=%d, data=[%s]", count, work);
        FrameTrace("MSRWRITE", detail);
    }
    return Answer(result);
}

// The setters: open on demand, end the MSR wait, run the printer operation (whose result no caller
// reads), trace, and answer 1.
int CMainFrame::RunSetter(const char* tag, const char* detail, void (*step)(CComm& comm, int argument),
                          int argument) {
    if (int refused = PrepareDevice(false); refused != 0) {
        return refused;
    }
    CExchange exchange(*this);
    step(m_comm, argument);
    TraceOperation(tag, detail);
    return Answer(LinkVerdict(status::DONE));
}

int CMainFrame::SETCOL(int column) {
    char detail[32];
    std::snprintf(detail, sizeof(detail), "xpos=%d", column);
    return RunSetter(
        "SETCOL", detail, [](CComm& comm, int value) { comm.SetColumn(value); }, column);
}

int CMainFrame::SETROW(int row) {
    char detail[32];
    std::snprintf(detail, sizeof(detail), "ypos=%d", row);
    return RunSetter(
        "SETROW", detail, [](CComm& comm, int value) { comm.SetRow(value); }, row);
}

int CMainFrame::SETPITCH(int cpi, int lpi) {
    // The values asked for appear only in the trace: the printer always gets 12 and 5.
    char detail[64];
    std::snprintf(detail, sizeof(detail), "Cpi=%d, Lpi=%d", cpi, lpi);
    return RunSetter(
        "SETPITCH", detail, [](CComm& comm, int) { comm.SetPitch(kFixedCpi, kFixedLpi); }, 0);
}

int CMainFrame::SETBLACKCOLOR() {
    return RunSetter(
        "SETBLACKCOLOR", text::kNone, [](CComm& comm, int) { comm.SetBlackColor(); }, 0);
}

int CMainFrame::SETREDCOLOR() {
    return RunSetter(
        "SETREDCOLOR", text::kNone, [](CComm& comm, int) { comm.SetRedColor(); }, 0);
}

int CMainFrame::SETENLARGEFONT() {
    return RunSetter(
        "SETENLARGEFONT", text::kNone, [](CComm& comm, int) { comm.SetEnlargeFont(); }, 0);
}

int CMainFrame::SETNORMAFONT() {
    return RunSetter(
        "SETNORMAFONT", text::kNone, [](CComm& comm, int) { comm.SetNormalFont(); }, 0);
}

int CMainFrame::SETMYOUNGJOFONT() {
    return RunSetter(
        "SETMYOUNGJOFONT", text::kNone, [](CComm& comm, int face) { comm.SetFontFace(face); }, 0);
}

int CMainFrame::SETGODICFONT() {
    return RunSetter(
        "SETGODICFONT", text::kNone, [](CComm& comm, int face) { comm.SetFontFace(face); }, 1);
}

int CMainFrame::GETLASTERROR(char* buffer, int size) {
    int count = CopyBounded(buffer, size, m_strStatus.c_str(), 1);
    if (m_settings.trace != 0 && buffer != nullptr) {
        char detail[kTraceBytes];
        std::snprintf(detail, sizeof(detail), "%.*s", count, buffer);
        FrameTrace("GETLASTERROR", detail);
    }
    return count;
}

int CMainFrame::ResetPrinter() {
    if (m_settings.model == 2) {
        // The printer library's own reset; the device's open state is neither tested nor changed.
        if (m_comm.m_bLibLoaded != 0 && m_comm.m_pWriteCommand != nullptr) {
            CExchange exchange(*this);
            m_comm.m_pWriteCommand(kLibraryResetCommand);
        }
        return status::DONE;
    }
    return OpenPrinter(0);
}
