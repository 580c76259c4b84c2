// The serial link, the status exchange of both families and their escape commands byte for byte.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "comm_fixture.h"
#include "cp949.h"

// A link whose tick counter wraps around 256 ms in, during the first wait of a case.
class LinkTest : public ::testing::Test, public CommLink {
protected:
    LinkTest() : CommLink(0xFFFFFF00u) {}
};
using Sleeps = std::vector<std::uint32_t>;

TEST_F(LinkTest, OpenSetsThePrintersLineSettingsTimeoutsAndQueuesOnTheNamedDevice) {
    ASSERT_NE(comm.OpenPort(1, 19200, 8, 0, 0), 0);
    const os::LineSettings& l = sim.serial.LastSettings();
    EXPECT_EQ(std::tuple(l.baudRate, l.byteSize, l.parity, l.stopBits), std::tuple(19200u, 8, 0, 0));
    EXPECT_EQ(std::tuple(l.binary, l.parityCheck, l.outxCtsFlow, l.outxDsrFlow, l.outX, l.inX),
              std::tuple(true, true, false, false, true, true));
    EXPECT_EQ(std::tuple(l.dtrControl, l.rtsControl, l.xonChar, l.xoffChar, l.xonLim, l.xoffLim),
              std::tuple(1, 1, 0x11, 0x13, 100, 100));
    const os::Timeouts& t = sim.serial.LastTimeouts();
    EXPECT_EQ(std::tuple(t.readInterval, t.readTotalMultiplier, t.readTotalConstant, t.writeTotalMultiplier,
                         t.writeTotalConstant),
              std::tuple(0xFFFFFFFFu, 0u, 1000u, 0u, 1000u));
    EXPECT_EQ(std::tuple(sim.serial.LastEventMask(), sim.serial.LastPurge(), comm.m_bConnected),
              std::tuple(0x0001u, 0x0Fu, 1));
    EXPECT_EQ(std::tuple(CComm::DeviceName(4), CComm::DeviceName(5)), std::tuple("COM4", "\\\\.\\TELNET"));
}

TEST_F(LinkTest, OpenFailuresLeaveThePortClosedWithTheirTextAndCloseReleasesAnOpenPortOnce) {
    EXPECT_EQ((std::tuple{comm.OpenPort(3, 9600, 8, 0, 0), comm.m_strError, comm.m_bConnected}),
              std::tuple(0, "Create File Error", 0));  // nothing on COM3
    sim.serial.Fail().rejectBaudBelow = 1200;
    EXPECT_EQ((std::tuple{comm.OpenPort(1, 300, 8, 0, 0), comm.m_strError, comm.m_bConnected,
                          sim.serial.Count().close, sim.serial.IsOpen(comm.m_hPort)}),
              std::tuple(0, "Setup Connection Error", 0, 1, false));
    // A closed port is left alone; an open one is closed once, its read-ahead ended first.
    EXPECT_EQ((std::tuple{comm.ClosePort(), sim.serial.Count().close}), std::tuple(1, 1));
    Open(0);
    EXPECT_EQ((std::tuple{comm.WaitByte(5), sim.serial.ReadsUnderWay()}), std::tuple(-1, 1));
    EXPECT_EQ((std::tuple{comm.ClosePort(), sim.serial.ReadsUnderWay(), comm.m_bConnected,
                          sim.serial.LastEventMask(), sim.serial.Count().clearDtr, sim.serial.LastPurge(),
                          sim.serial.IsOpen(comm.m_hPort)}),
              std::tuple(1, 0, 0, 0u, 1, 0x0Fu, false));
    EXPECT_EQ((std::tuple{comm.ClosePort(), sim.serial.Count().close}), std::tuple(1, 2));
}

TEST(LinkEvents, EventFailuresAreReportedAndNothingLeaks) {
    sim::CSimPlatform sim;
    // A read event made first is closed again when the write event fails; both go with the link.
    const char* texts[] = {"Create Communcation Read Event Error", "Create Communcation Write Event Error",
                           ""};
    for (int failing : {0, 1, -1}) {
        sim.serial.Fail().eventsBeforeFailure = failing;
        {
            CComm comm(sim.Platform());
            EXPECT_EQ(std::tuple(comm.m_strError, sim.serial.LiveEvents()),
                      std::tuple(texts[failing < 0 ? 2 : failing], failing < 0 ? 2 : 0));
        }
        EXPECT_EQ(sim.serial.LiveEvents(), 0);
    }
}

TEST_F(LinkTest, WaitsDispatchMessagesUntilTheirDataOrAfterTheirTimeoutAndReadsTakeOnlyWhatIsWaiting) {
    Open(0);
    std::uint32_t start = Now();
    int dispatched = 0;
    for (std::uint32_t due : {100u, 200u, 1299u}) {
        sim.pump.Post(
            0x0400, 0, [&] { ++dispatched; }, due);
    }
    printer.Send("Z", start, 300);
    // It idled from one thing to the next (the two messages, the byte), not a millisecond at a time,
    // and ended at the instant the byte arrived. It looked at the queue only after a wait that a
    // message ended: never before its first wait, nor after the one the byte ended.
    EXPECT_EQ((std::tuple{comm.WaitByte(1000), Now() - start, Now() < start, dispatched,
                          sim.clock.IdlePasses(), sim.pump.Looks()}),
              std::tuple('Z', 300u, true, 2, 3u, 2u));

    // A message already waiting when the wait starts is dispatched in it, before the byte is taken.
    start = Now();
    sim.pump.Post(0x0400, 0, [&] { ++dispatched; });
    printer.Send("X", start, 2);
    EXPECT_EQ((std::tuple{comm.WaitByte(1000), dispatched, Now() - start}), std::tuple('X', 3, 2u));

    start = Now();
    EXPECT_EQ((std::tuple{comm.WaitByte(1000), dispatched, sim.clock.IdlePasses()}), std::tuple(-1, 4, 7u));
    EXPECT_PRED3(Within, Now() - start, 1001u, 1002u);

    start = Now();  // WaitData returns what arrived without waiting for the rest
    printer.Send("1234", start, 50);
    char buffer[10] = {};
    EXPECT_EQ((std::tuple{comm.WaitData(buffer, 10, 500), std::string(buffer, 4), Now() - start}),
              std::tuple(4, "1234", 50u));
    start = Now();
    EXPECT_EQ(comm.WaitData(buffer, 10, 500), 0);  // nothing came
    EXPECT_PRED3(Within, Now() - start, 501u, 502u);

    std::memset(buffer, '#', sizeof(buffer));  // reads take only what is waiting, bytes from 0 to 255
    EXPECT_EQ((std::tuple{comm.ReadAvailable(buffer, 8), buffer[0], comm.GetByte()}), std::tuple(0, '#', -1));
    printer.Send("abc\xff", Now());
    EXPECT_EQ((std::tuple{comm.ReadAvailable(buffer, 1), comm.ReadAvailable(buffer + 1, 2),
                          std::string(buffer, 3), comm.GetByte()}),
              std::tuple(1, 2, "abc", 0xFF));

    printer.Send("abc", Now());
    sim.serial.Fail().read = true;
    EXPECT_EQ((std::tuple{comm.ReadAvailable(buffer, 4), comm.m_strError}), std::tuple(0, "Read Error"));
}

// The simulated device's read-ahead holds the first byte that arrives, as the Windows one does
// under Wine: it signals the wake handle and counts among the bytes waiting; a purge drops it too.
TEST_F(LinkTest, APurgeDropsTheSimulatedReadAheadToo) {
    Open(0);
    const os::Handle wake = sim.serial.WakeHandle(comm.m_hPort);
    printer.Send("cd", Now());
    EXPECT_EQ((std::tuple{sim.serial.Signalled(wake), sim.serial.BytesWaiting(comm.m_hPort)}),
              std::tuple(true, 2u));
    sim.serial.Purge(comm.m_hPort, os::kPurgeRxClear);
    EXPECT_EQ((std::tuple{sim.serial.Signalled(wake), sim.serial.BytesWaiting(comm.m_hPort)}),
              std::tuple(false, 0u));
}

TEST_F(LinkTest, WriteTextGoesOutIn400ByteBlocksOneSecondApartAndWriteTextCtsWaitsForCtsElevenPollsAtMost) {
    Open(0);
    EXPECT_EQ(comm.WriteText(std::string(1000, 'x').c_str()), 1);
    const auto& wire = sim.serial.Wire();
    ASSERT_EQ(wire.size(), 3u);
    EXPECT_EQ(std::tuple(wire[0].bytes.size(), wire[1].bytes.size(), wire[2].bytes.size(),
                         wire[2].time - wire[0].time, sim.clock.Sleeps()),
              std::tuple(400u, 400u, 200u, 2000u, Sleeps{1000, 1000}));
    // Nothing at all writes nothing, 400 bytes go out without a pause and 401 with one.
    EXPECT_EQ((std::tuple{comm.WriteText(""), comm.WriteText(std::string(400, 'y').c_str()),
                          sim.serial.Count().write, sim.clock.Sleeps().size()}),
              std::tuple(1, 1, 4, 2u));
    comm.WriteText(std::string(401, 'z').c_str());
    EXPECT_EQ(sim.clock.Sleeps().size(), 3u);

    // Family 1, and any while the family is unknown, waits up to eleven polls for CTS, then writes
    // anyway; family 0 never looks; with CTS on one look and the write goes out at once.
    Sent();
    for (const auto& [family, cts, looks, ms] :
         {std::tuple(1, false, 11, 1100u), std::tuple(242, false, 22, 1100u), std::tuple(0, false, 22, 0u),
          std::tuple(1, true, 23, 0u)}) {
        comm.m_nFamily = family;
        printer.SetCts(cts);
        const std::uint32_t start = Now();
        EXPECT_EQ(
            (std::tuple{comm.WriteTextCts("\033h"), sim.serial.Count().modemStatus, Now() - start, Sent()}),
            std::tuple(1, looks, ms, "\033h"))
            << family;
    }
    sim.serial.Fail().modemStatus = true;  // an unreadable modem status writes nothing
    EXPECT_EQ((std::tuple{comm.WriteTextCts("\033h"), Sent()}), std::tuple(0, ""));
}

TEST_F(LinkTest, AnyAnswerToTheFamilyZeroRequestMeansFamilyZeroSilenceThereFamilyOneAndNoneUnknown) {
    Open(242);
    printer.Answer("?", kStatusRequestA);
    std::uint32_t start = Now();
    // The family is unknown: CTS is looked at.
    EXPECT_EQ(
        (std::tuple{comm.ProbeFamily(), Sent(), sim.serial.LastPurge(), sim.serial.Count().modemStatus}),
        std::tuple(0, kStatusRequestA, 0x0Fu, 1));
    EXPECT_LT(Now() - start, 10u);

    printer.Answer("@", kStatusRequestB);
    start = Now();
    EXPECT_EQ((std::tuple{comm.ProbeFamily(), Sent()}), std::tuple(1, kStatusRequestA + kStatusRequestB));
    EXPECT_PRED3(Within, Now() - start, 1001u, 1009u);

    comm.m_nFamily = 242;  // no answer at all: the cable text, and the next operation probes again
    start = Now();
    EXPECT_EQ((std::tuple{comm.ProbeFamily(), comm.m_strError}),
              std::tuple(242, Cp949("통장인쇄기가 꺼져있거나 연결 케이블이 불량합니다.")));
    EXPECT_PRED3(Within, Now() - start, 2001u, 2009u);
    EXPECT_EQ((std::tuple{comm.QueryStatus(), comm.m_nFamily}), std::tuple(242, 242));  // in order
    Answers(kStatusRequestA, {"?", FrameA(80)});
    EXPECT_EQ((std::tuple{comm.QueryStatus(), comm.m_nFamily}), std::tuple(80, 0));
}

TEST(StatusA, EachReplyGivesItsCodeAfterItsRequestsClearsAndPauses) {
    const std::string garbage = "\002xqP\003";  // position 2 is not 'r'
    struct Case {
        std::vector<std::string> replies;  // one per request, in order
        int code;
        int requests;
        int clears;                  // one after every reply that is no medium or normal status
        std::size_t pauses;          // of 100 ms, after every failed attempt
        std::uint32_t minMs, maxMs;  // the time taken
        const char* text;
    } cases[] = {{{FrameA('A')}, 65, 1, 0, 0, 0, 10, "통장이 들어와 있음"},
                 {{FrameA(0x90)}, 144, 1, 1, 0, 0, 10, "매체에 이물질 있음"},  // the status byte is unsigned
                 {{"r", FrameA(80)}, 80, 2, 1, 1, 100, 110, "정상 상태임"},    // no STX
                 // no ETX: the frame is cut when no more comes for 17 ms
                 {{"\002xr", FrameA(66)}, 66, 2, 1, 1, 118, 128, "전표가 들어와 있음"},
                 {std::vector<std::string>(6, garbage), 241, 6, 6, 6, 600, 610, "이유를 모르는 에러"},
                 {{}, 242, 6, 6, 6, 6600, 6620, "Response가 없다"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        CommLink link;
        link.Open(0);
        link.Answers(kStatusRequestA, c.replies);
        std::uint32_t start = link.Now();
        EXPECT_EQ(
            (std::tuple{link.comm.QueryStatusA(), CountOf(link.Written(), kStatusRequestA),
                        CountOf(link.Written(), kClearA), link.sim.clock.Sleeps(), link.comm.m_strError}),
            std::tuple(c.code, c.requests, c.clears, Sleeps(c.pauses, 100), Cp949(c.text)));
        EXPECT_PRED3(Within, link.Now() - start, c.minMs, c.maxMs);
    }
}

class FamilyATest : public CommTest {
protected:
    void SetUp() override { Open(0); }
    void Reports(unsigned char status) { printer.AnswerAlways(FrameA(status), kStatusRequestA); }
};

TEST_F(FamilyATest, AFrameMayComeInPiecesWithinItsLineTimeEndsWithin100BytesAndAJamRecoversTwice) {
    // Each piece may follow the one before by 16 byte times on the line: 17 ms at 9600 baud.
    comm.m_nBaud = 1200;
    const int slowGap = comm.TailGapMs();
    comm.m_nBaud = 9600;
    EXPECT_EQ(std::tuple(comm.TailGapMs(), slowGap), std::tuple(17, 134));
    std::uint32_t start = Now();
    for (const auto& [piece, at] : {std::pair("\002x", 0u), std::pair("r", 17u), std::pair("A\003", 34u)}) {
        printer.Send(piece, start, at);
    }
    EXPECT_EQ((std::tuple{comm.ReadReplyA(), Now() - start}), std::tuple(65, 34u));
    // A piece that comes later is too late: the frame counts as no answer 18 ms after the last piece.
    start = Now();
    printer.Send("\002xr..", start);
    printer.Send("A\003", start, 19);
    EXPECT_EQ((std::tuple{comm.ReadReplyA(), Now() - start}), std::tuple(242, 18u));
    EXPECT_EQ(comm.ReadReplyA(), 241);  // the late piece starts no frame
    // What came with a frame is dropped with it.
    printer.Send(FrameA('P') + "junk", Now());
    char rest[8];
    EXPECT_EQ((std::tuple{comm.ReadReplyA(), comm.ReadAvailable(rest, 8)}), std::tuple(80, 0));

    printer.Answer("\002" + std::string(120, 'r'), kStatusRequestA);
    comm.SendStatusRequest();
    EXPECT_EQ(comm.ReadReplyA(), 241);
    // A frame of 98 bytes between STX and ETX is still a frame.
    printer.Send("\002xrP" + std::string(95, '.') + "\003", Now());
    EXPECT_EQ(comm.ReadReplyA(), 80);

    // A persistent paper jam reinitialises at most twice deep.
    printer.AnswerAlways(FrameA(49), kStatusRequestA);
    EXPECT_EQ((std::tuple{comm.QueryStatusA(), CountOf(Written(), "\0330"), comm.m_strError}),
              std::tuple(49, CComm::kMaxRecoveryDepth, Cp949("용지 걸림 - 리셋을 누르세요")));
}

class FamilyBTest : public CommTest {
protected:
    void SetUp() override { Open(1); }
    static std::string Framed(const std::string& command) { return "\033m" + command + "\033j"; }
};

TEST_F(FamilyBTest,
       TheFirstByteAndTheStatusBitsDecodeNothingIsRetriedAnswerMCarriesUpTo24BytesSilenceIsAskedThrice) {
    // A missing status byte reads as all bits set; 'M' without stripe data is unintelligible.
    const std::pair<std::string, int> cases[] = {
        {AnswerB(0x21), 80}, {AnswerB(0x01), 80}, {AnswerB(0x22), 135},
        {AnswerB(0x20), 85}, {AnswerB(0x00), 65}, {AnswerB(0x40), 65},
        {"\100", 80},        {"Q", 241},          {"M", 241}};
    for (const auto& [answer, code] : cases) {
        SCOPED_TRACE(answer);
        printer.Answer(answer, kStatusRequestB);
        EXPECT_EQ(comm.QueryStatusB(), code);
    }
    // The pause after each request.
    EXPECT_EQ(std::tuple(CountOf(Sent(), kStatusRequestB), sim.clock.Sleeps()),
              std::tuple(9, Sleeps(9, 100)));

    comm.m_strError = "before";
    Answers(kStatusRequestB, {"M", "M~~1234567890ABCDEF\xff"});
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), comm.m_strError}), std::tuple(241, "before"));
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), std::string(comm.m_szMsrReply + 2), comm.m_strError}),
              std::tuple(134, "1234567890ABCDEF", Cp949("MSR을 정상적으로 읽었음")));
    printer.Answer("M~~1234", kStatusRequestB);  // the rest of the data follows 10 ms later
    printer.Send("5678\xff", Now(), 110);
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), std::string(comm.m_szMsrReply + 2)}),
              std::tuple(134, "12345678"));
    printer.Answer("M" + std::string(40, '7'), kStatusRequestB);
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), std::string(comm.m_szMsrReply)}),
              std::tuple(134, std::string(24, '7')));

    // A silent printer is asked three times, ten seconds each.
    Sent();
    std::uint32_t start = Now();
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), CountOf(Written(), kStatusRequestB), comm.m_strError}),
              std::tuple(242, 3, Cp949("Response가 없다")));
    EXPECT_PRED3(Within, Now() - start, 3 * 10100u + 1, 3 * 10100u + 19);
}

TEST_F(FamilyBTest, StripeDataFromAPollGoesOnlyIntoTheRoomTheCallerGave) {
    char buffer[4] = {'#', '#', '#', '#'};
    Answers(kStatusRequestB, {"M~~12:34\xff", "M~~12:34\xff"});
    EXPECT_EQ((std::tuple{comm.MsrPoll(buffer, 0), std::string(buffer, 4)}),
              std::tuple(1, "####"));  // no room
    EXPECT_EQ((std::tuple{comm.MsrPoll(buffer, 3), std::string(buffer, 4)}),
              std::tuple(1, std::string("12\0#", 4)));
}

TEST_F(FamilyBTest, AnswerAReinitialisesAndAnswerEEjectsAtMostTwiceDeep) {
    // The initialisation's status query, then the eject's, find nothing in.
    Answers(kStatusRequestB, {"A", AnswerB(0x01), "E", AnswerB(0x01)});
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), comm.QueryStatusB()}), std::tuple(127, 113));
    EXPECT_EQ(Written(), kStatusRequestB + "\033f" + kStatusRequestB + kStatusRequestB + "\033m\033u\033j" +
                             kStatusRequestB);

    printer.AnswerAlways("A", kStatusRequestB);
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), CountOf(Written(), "\033f")}),
              std::tuple(127, 1 + CComm::kMaxRecoveryDepth));
    printer.AnswerAlways("E", kStatusRequestB);
    EXPECT_EQ((std::tuple{comm.QueryStatusB(), CountOf(Written(), "\033u")}),
              std::tuple(113, 1 + CComm::kMaxRecoveryDepth));
}

TEST_F(FamilyBTest, TheCancelKeyEndsAMediumWaitWith27AndOtherKeysDoNot) {
    // Nothing in thrice, then a passbook.
    Answers(kStatusRequestB, {AnswerB(0x01), AnswerB(0x01), AnswerB(0x01), AnswerB(0x00)});
    sim.pump.PostKeyDown('A');
    EXPECT_EQ((std::tuple{comm.PaperIn(0), CountOf(Written(), kStatusRequestB)}), std::tuple(1, 4));
    ASSERT_TRUE(sim.pump.DispatchOne());  // the 'A' is still queued ahead of any later key

    printer.AnswerAlways(AnswerB(0x01), kStatusRequestB);  // nothing in the printer
    const std::uint32_t start = Now();
    sim.pump.PostKeyDown(27, 2000);
    EXPECT_EQ((std::tuple{comm.PaperIn(0), comm.PeekKey()}), std::tuple(27, 27));  // the key is left queued
    EXPECT_PRED3(Within, Now() - start, 2000u, 2399u);
}

TEST_F(FamilyATest, ColourPitchSizeFaceAndRowCommandsAndTheUnknownPaperKind) {
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetPitch(10, 3);
    comm.SetPitch(12, 5);
    comm.SetPitch(15, 6);  // no pitch command for 15
    comm.SetFontFace(0);
    comm.SetFontFace(1);
    comm.SetFontFace(2);  // no such face
    EXPECT_EQ((std::tuple{comm.PaperIn(2), Sent(), sim.clock.Sleeps().empty()}),
              std::tuple(-1, "\033!0\033!1\033<\033=\033m0\033m1", true));
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    EXPECT_EQ(std::tuple(Sent(), sim.clock.Sleeps()), std::tuple("\0333\0334", Sleeps{2000, 1000}));

    // A row waits for a medium, one second a pass, and stops at an error.
    Answers(kStatusRequestA, {FrameA('P'), FrameA('P')});
    Reports('B');  // then a chit is in
    comm.SetRow(0);
    EXPECT_EQ(std::tuple(Sent(), sim.clock.Sleeps()),
              std::tuple("\033j\033j\033j\033L004\033j", Sleeps{2000, 1000, 1000, 1000}));
    Reports(50);  // no paper: the row is given up
    comm.SetRow(2);
    EXPECT_EQ(Sent(), "\033j\033l");
}

TEST_F(FamilyATest, AWaitThrowsOutTheOtherMediumAndItsEjectGoesOnThroughSilenceUntilNothingIsIn) {
    // The passbook wait finds a chit; the eject's first query gets no answer, its second finds nothing.
    Answers(kStatusRequestA, {FrameA('B'), "", "", "", "", "", "", FrameA('P')});
    Reports('A');
    EXPECT_EQ(comm.PaperIn(0), 1);
    std::string silence;
    for (int attempt = 0; attempt < 6; ++attempt) {
        silence += kStatusRequestA + kClearA;
    }
    EXPECT_EQ(Written(), kClearA + kStatusRequestA + "\033S6" + silence + "\033O" + kStatusRequestA +
                             "\033S5\033L000" + kStatusRequestA);
}

TEST_F(FamilyATest, StripeWaitsEjectAChitTheWriteSelectsThePassbookAgainAndPausesTheReadGoesOnAtOnce) {
    const std::string waitPass = "\033L000" + kStatusRequestA;
    const std::string ejectChit = "\033S6" + kStatusRequestA;  // the eject's query finds nothing in
    Answers(kStatusRequestA, {FrameA('B'), FrameA('P')});
    Reports('A');
    EXPECT_EQ(comm.MsrWrite("12345"), 1);
    EXPECT_EQ(Sent(), kClearA + "\033S5" + waitPass + ejectChit + "\033S5" + waitPass + "\033t" +
                          std::string(11, ' ') + "12345\035\033\\" + kStatusRequestA);
    EXPECT_EQ(sim.clock.Sleeps(), Sleeps{100});

    Answers(kStatusRequestA, {FrameA('B'), FrameA('P')});
    printer.Answer("\002\033s12345678:ABCDE:F\003", "\033]");
    char buffer[24] = {};
    EXPECT_EQ(
        (std::tuple{comm.MsrRead(buffer, 20), std::string(buffer), Written()}),
        std::tuple(1, "12345678ABCDEF", kClearA + "\033S5" + waitPass + ejectChit + waitPass + "\033]"));
    EXPECT_EQ(sim.clock.Sleeps(), Sleeps{100});  // the read took no pause of its own
}

TEST_F(FamilyATest, AChitPrintEndsOnAPrinterErrorWithoutWritingTheText) {
    Reports(50);                     // no paper
    sim.pump.PostKeyDown(27, 5000);  // ends a wait that would not end by itself
    EXPECT_EQ(comm.PrintChit("CHIT"), 50);
    EXPECT_EQ(Written(), kStatusRequestA + kClearA);
}

TEST_F(FamilyATest, AStripeReadIsCutToTheCallersBufferAndAnOverlongFrameEndsItUnwritten) {
    Reports('A');
    printer.Answer("\002\033s12:34567890ABCD:\003", "\033]");
    std::string buffer(24, '#');
    EXPECT_EQ((std::tuple{comm.MsrRead(buffer.data(), 8), buffer.substr(0, 9), comm.m_strError}),
              std::tuple(1, std::string("1234567\0#", 9), Cp949("MSR을 정상적으로 읽었음")));
    printer.Answer("\002\033s" + std::string(150, '9') + "\003", "\033]");
    buffer.assign(24, '#');
    // Nothing past the capacity.
    EXPECT_EQ((std::tuple{comm.MsrRead(buffer.data(), 20), buffer[20]}), std::tuple(241, '#'));
}

TEST_F(FamilyATest, NoiseThatNeverStartsAFrameEndsTheStripeReadAfterTenSeconds) {
    Reports('A');  // the passbook is in; nothing answers the stripe request
    for (std::uint32_t at = 50; at < 30000; at += 10) {
        printer.Send("x", Now(), at);  // a byte every 10 ms for 30 s
    }
    char buffer[24] = {};
    const std::uint32_t start = Now();
    EXPECT_EQ((std::tuple{comm.MsrRead(buffer, 20), Now() - start < 11000u}), std::tuple(242, true));
}

TEST_F(FamilyBTest, AChitIsReportedAsAPassbookIsAndTakesItsPlaceInTheResults) {
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);  // 65: a medium is in
    // A kind that is neither: the wait's own code.
    EXPECT_EQ((std::tuple{comm.PaperIn(1), comm.PrintChit("c"), comm.PaperIn(2)}), std::tuple(1, 1, 65));
}

TEST_F(FamilyBTest, AStripeReadAsksForTheStripeWhileAMediumIsInAndAnEjectGoesOnWhileOneIsIn) {
    Answers(kStatusRequestB, {AnswerB(0x00), "M~~12:34\xff"});  // 65: the passbook is in
    char buffer[16] = {};
    EXPECT_EQ((std::tuple{comm.MsrRead(buffer, sizeof(buffer)), std::string(buffer), Sent()}),
              std::tuple(1, "1234", kStatusRequestB + Framed("\033{") + kStatusRequestB));
    Answers(kStatusRequestB, {AnswerB(0x00), AnswerB(0x20), AnswerB(0x01)});  // still in, busy, out
    EXPECT_EQ((std::tuple{comm.PaperOut(), CountOf(Written(), Framed("\033u") + kStatusRequestB)}),
              std::tuple(1, 3));
}

TEST_F(CommTest, ASettingTakesOnlyAFamilyThatExistsAndTheOperationsFollowTheChange) {
    Open(242);
    EXPECT_EQ((std::tuple{comm.SetFamily(3), comm.SetFamily(-1), comm.m_nFamily}),
              std::tuple(false, false, 242));
    EXPECT_TRUE(comm.SetFamily(1));
    comm.SetFontFace(1);  // family 1 has no face command
    comm.SetBlackColor();
    EXPECT_TRUE(comm.SetFamily(0));
    comm.SetFontFace(1);
    EXPECT_EQ(Written(), "\033m\033c\033j\033m1");
}

TEST_F(FamilyBTest, PitchCodesCombineCharactersAndLinesPerInchAndRowColourAndSizeGoFramedWithoutPauses) {
    struct Case {
        int cpi;
        int lpi;
        const char* code;
    } cases[] = {{12, 5, "0"}, {13, 6, "3"}, {12, 3, "6"}, {13, 8, "5"}, {10, 6, "2"}, {13, 4, "1"}};
    for (const Case& c : cases) {
        comm.SetPitch(c.cpi, c.lpi);
        EXPECT_EQ(Sent(), Framed(std::string("\033/") + c.code)) << c.cpi << "/" << c.lpi;
    }
    // The row, colour and size, without pauses; there is no face.
    comm.SetRow(17);  // row 0 goes out as 1, any other as it is
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    comm.SetFontFace(1);
    EXPECT_EQ(Written(),
              Framed("\033i017") + Framed("\033c") + Framed("\033C") + Framed("\033w") + Framed("\033v"));
    EXPECT_TRUE(sim.clock.Sleeps().empty());
}

TEST_F(FamilyBTest, DoubleByteRunsAreFramedByShiftCodes) {
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);
    const std::pair<const char*, std::string> cases[] = {
        {"a\260\241b", "a\033J1\260\241\033J0b"},
        {"x\xc7\xd1", "x\033J1\xc7\xd1\033J0"},  // ends inside a run: closed
        {"\x80z", "\x80z"},                      // 0x80 never switches
    };
    for (const auto& [text, framed] : cases) {
        EXPECT_EQ((std::tuple{comm.PrintPassbook(text), Sent()}),
                  std::tuple(1, kStatusRequestB + Framed(framed)));
    }
}

TEST_F(FamilyBTest, StripeWritesCarryATwoDigitLengthLongerDataIsRefusedAndABusyPrinterIsAskedAtMost22Times) {
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);
    for (const auto& [data, length] :
         {std::pair(std::string("ABCDE"), "05"), std::pair(std::string(16, 'F'), "16"),
          std::pair(std::string(94, '7'), "94")}) {
        EXPECT_EQ(
            (std::tuple{comm.MsrWrite(data.c_str()), CountOf(Sent(), Framed("\033e" + (length + data)))}),
            std::tuple(1, 1));
    }
    EXPECT_EQ((std::tuple{comm.MsrWrite(std::string(95, '7').c_str()), Sent()}), std::tuple(18, ""));
    printer.Answer(AnswerB(0x00), kStatusRequestB);
    printer.AnswerAlways(AnswerB(0x20), kStatusRequestB);  // busy for ever after the write
    EXPECT_EQ((std::tuple{comm.MsrWrite("12345"), CountOf(Written(), kStatusRequestB)}),
              std::tuple(85, 1 + 22));
}
