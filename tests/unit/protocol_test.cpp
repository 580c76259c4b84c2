// The status exchange: the family probe, both status decoders, error texts, the cancel key and
// the bound on recoveries started from inside a status query.
#include <gtest/gtest.h>

#include <string>

#include "comm_fixture.h"
#include "cp949.h"
#include "device/status_codes.h"

using ProbeTest = CommTest;

TEST_F(ProbeTest, AnyAnswerToTheFamilyZeroRequestMeansFamilyZero) {
    Open(242);
    printer.Answer("?", kStatusRequestA);
    std::uint32_t start = Now();
    EXPECT_EQ(comm.ProbeFamily(), 0);
    EXPECT_EQ(Written(), kStatusRequestA);
    EXPECT_LT(Now() - start, 10u);
    EXPECT_EQ(sim.serial.LastPurge(), 0x0Fu);
    EXPECT_EQ(sim.serial.Count().modemStatus, 1);  // the family is unknown: CTS is looked at
}

TEST_F(ProbeTest, ASilentFamilyZeroRequestThenAnAnswerToFamilyOneMeansFamilyOne) {
    Open(242);
    printer.Answer("@", kStatusRequestB);
    std::uint32_t start = Now();
    EXPECT_EQ(comm.ProbeFamily(), 1);
    EXPECT_EQ(Written(), kStatusRequestA + kStatusRequestB);
    EXPECT_GT(Now() - start, 1000u);
    EXPECT_LT(Now() - start, 1010u);
}

TEST_F(ProbeTest, NoAnswerAtAllLeavesTheFamilyUnknownWithTheCableText) {
    Open(242);
    std::uint32_t start = Now();
    EXPECT_EQ(comm.ProbeFamily(), 242);
    EXPECT_EQ(comm.m_strError, Cp949("통장인쇄기가 꺼져있거나 연결 케이블이 불량합니다."));
    EXPECT_GT(Now() - start, 2000u);
    EXPECT_LT(Now() - start, 2010u);

    // Every operation begins by probing; a failed probe ends it with 242 and probes again next time.
    EXPECT_EQ(comm.QueryStatus(), 242);
    EXPECT_EQ(comm.m_nFamily, 242);
    printer.Answer("?", kStatusRequestA);
    printer.Answer(FrameA(80), kStatusRequestA);
    EXPECT_EQ(comm.QueryStatus(), 80);
    EXPECT_EQ(comm.m_nFamily, 0);
}

class StatusATest : public CommTest {
protected:
    void SetUp() override { Open(0); }
};

TEST_F(StatusATest, AGoodFrameGivesItsStatusByteWithoutAClear) {
    printer.Answer(FrameA('A'), kStatusRequestA);
    EXPECT_EQ(comm.QueryStatusA(), 65);
    EXPECT_EQ(Written(), kStatusRequestA);
    EXPECT_EQ(comm.m_strError, Cp949("통장이 들어와 있음"));
}

TEST_F(StatusATest, TheStatusByteIsUnsignedAndAnErrorIsFollowedByTheClearCommand) {
    printer.Answer(FrameA(0x90), kStatusRequestA);
    EXPECT_EQ(comm.QueryStatusA(), 144);
    EXPECT_EQ(Written(), kStatusRequestA + kClearA);
    EXPECT_EQ(comm.m_strError, Cp949("매체에 이물질 있음"));
}

TEST_F(StatusATest, UnintelligibleRepliesAreRetriedSixTimesWithAClearAfterEach) {
    printer.AnswerAlways(std::string("\x02"
                                     "xq"
                                     "P"
                                     "\x03"),
                         kStatusRequestA);  // position 2 is not 'r'
    std::uint32_t start = Now();
    EXPECT_EQ(comm.QueryStatusA(), 241);
    EXPECT_EQ(Count(Written(), kStatusRequestA), 6);
    EXPECT_EQ(Count(Written(), kClearA), 6);
    EXPECT_EQ(sim.clock.Sleeps(), std::vector<std::uint32_t>(6, 100));
    EXPECT_LT(Now() - start, 700u);
    EXPECT_EQ(comm.m_strError, Cp949("이유를 모르는 에러"));
}

TEST_F(StatusATest, AReplyThatDoesNotBeginWithStxIsUnintelligible) {
    printer.Answer("r", kStatusRequestA);
    printer.Answer(FrameA(80), kStatusRequestA);
    EXPECT_EQ(comm.QueryStatusA(), 80);  // 241 first, then the second attempt succeeds
    EXPECT_EQ(Count(Written(), kStatusRequestA), 2);
    EXPECT_EQ(sim.clock.Sleeps(), std::vector<std::uint32_t>{100});
}

TEST_F(StatusATest, AFrameCutShortCountsAsNoAnswerAndIsAskedAgain) {
    printer.Answer(std::string("\x02"
                               "xr",
                               3),
                   kStatusRequestA);  // ETX never comes
    printer.Answer(FrameA(66), kStatusRequestA);
    EXPECT_EQ(comm.QueryStatusA(), 66);
    EXPECT_EQ(Count(Written(), kStatusRequestA), 2);
    EXPECT_EQ(Count(Written(), kClearA), 1);
}

TEST_F(StatusATest, AFrameWhoseRestArrivesAfterStxCountsAsNoAnswer) {
    printer.Send("\x02", Now());
    printer.Send("xrA\x03", Now(), 5);
    EXPECT_EQ(comm.ReadReplyA(), 242);
}

TEST_F(StatusATest, AnOverLongFrameIsUnintelligible) {
    std::string longFrame = "\x02" + std::string(120, 'r');
    printer.Answer(longFrame, kStatusRequestA);
    printer.Answer(FrameA(80), kStatusRequestA);
    EXPECT_EQ(comm.ReadReplyA(), 242);  // ReadReplyA alone: nothing was requested yet
    comm.SendStatusRequest();
    EXPECT_EQ(comm.ReadReplyA(), 241);
    // A frame of 98 bytes between STX and ETX is still a frame.
    std::string longest = std::string(
                              "\x02"
                              "xr"
                              "P",
                              4) +
                          std::string(95, '.') + "\x03";
    printer.Send(longest, Now());
    EXPECT_EQ(comm.ReadReplyA(), 80);
}

TEST_F(StatusATest, ASilentPrinterIsAskedSixTimesThenReportedOff) {
    comm.m_strError = "old";
    std::uint32_t start = Now();
    EXPECT_EQ(comm.QueryStatusA(), 242);
    EXPECT_EQ(Count(Written(), kStatusRequestA), 6);
    EXPECT_EQ(Count(Written(), kClearA), 6);
    EXPECT_GT(Now() - start, 6 * 1100u);
    EXPECT_LT(Now() - start, 6 * 1100u + 20);
    EXPECT_EQ(comm.m_strError, Cp949("Response가 없다"));
}

TEST_F(StatusATest, CodesWithoutATextKeepTheOldErrorText) {
    printer.Answer(FrameA(80), kStatusRequestA);
    comm.QueryStatusA();
    printer.Answer(FrameA(36), kStatusRequestA);
    EXPECT_EQ(comm.QueryStatusA(), 36);
    EXPECT_EQ(comm.m_strError, Cp949("정상 상태임"));
    for (int code : {1, 15, 67, 84, 135, 243}) {
        comm.SetErrorText(code);
    }
    EXPECT_EQ(comm.GetErrorText(), Cp949("정상 상태임"));
    comm.SetErrorText(16);
    EXPECT_EQ(comm.GetErrorText(), Cp949("행 초과"));
}

class StatusBTest : public CommTest {
protected:
    void SetUp() override { Open(1); }
};

TEST_F(StatusBTest, TheStatusBitsDecodeWithTheLowestBitWinning) {
    struct Case {
        unsigned char bits;
        int code;
    } cases[] = {{0x21, 80}, {0x01, 80}, {0x22, 135}, {0x20, 85}, {0x00, 65}, {0x40, 65}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.bits));
        printer.Answer(AnswerB(c.bits), kStatusRequestB);
        EXPECT_EQ(comm.QueryStatusB(), c.code);
    }
    EXPECT_EQ(sim.clock.Sleeps(), std::vector<std::uint32_t>(6, 100));  // the pause after each request
}

TEST_F(StatusBTest, AMissingStatusByteReadsAsAllBitsSet) {
    printer.Answer("\x40", kStatusRequestB);
    EXPECT_EQ(comm.QueryStatusB(), 80);
}

TEST_F(StatusBTest, AnswerMCarriesTheStripeDataUpToFF) {
    printer.Answer(std::string("M") + "~~" + "1234567890ABCDEF" + "\xff", kStatusRequestB);
    EXPECT_EQ(comm.QueryStatusB(), 134);
    EXPECT_STREQ(comm.m_szMsrReply + 2, "1234567890ABCDEF");
    EXPECT_EQ(comm.m_strError, Cp949("MSR을 정상적으로 읽었음"));
}

TEST_F(StatusBTest, AnswerMWithNoDataIsUnintelligibleAndLeavesTheText) {
    comm.m_strError = "before";
    printer.Answer("M", kStatusRequestB);
    EXPECT_EQ(comm.QueryStatusB(), 241);
    EXPECT_EQ(comm.m_strError, "before");
    EXPECT_EQ(Count(Written(), kStatusRequestB), 1);
}

TEST_F(StatusBTest, AnswerMTakesAtMost24BytesWithoutAnFF) {
    printer.Answer("M" + std::string(40, '7'), kStatusRequestB);
    EXPECT_EQ(comm.QueryStatusB(), 134);
    EXPECT_EQ(std::string(comm.m_szMsrReply), std::string(24, '7'));
}

TEST_F(StatusBTest, StripeDataFromAPollGoesOnlyIntoTheRoomTheCallerGave) {
    char buffer[4] = {'#', '#', '#', '#'};
    printer.Answer(std::string("M") + "~~" + "12:34" + "\xff", kStatusRequestB);
    EXPECT_EQ(comm.MsrPoll(buffer, 0), 1);
    EXPECT_EQ(std::string(buffer, 4), "####");  // no room: not even a terminator

    printer.Answer(std::string("M") + "~~" + "12:34" + "\xff", kStatusRequestB);
    EXPECT_EQ(comm.MsrPoll(buffer, 3), 1);
    EXPECT_EQ(std::string(buffer, 4), std::string("12\0#", 4));
}

TEST_F(StatusBTest, AnUnknownFirstByteIsNotRetried) {
    printer.Answer("Q", kStatusRequestB);
    EXPECT_EQ(comm.QueryStatusB(), 241);
    EXPECT_EQ(Count(Written(), kStatusRequestB), 1);
}

TEST_F(StatusBTest, ASilentPrinterIsAskedThreeTimesTenSecondsEach) {
    std::uint32_t start = Now();
    EXPECT_EQ(comm.QueryStatusB(), 242);
    EXPECT_EQ(Count(Written(), kStatusRequestB), 3);
    EXPECT_GT(Now() - start, 3 * 10100u);
    EXPECT_LT(Now() - start, 3 * 10100u + 20);
    EXPECT_EQ(comm.m_strError, Cp949("Response가 없다"));
}

TEST_F(StatusBTest, AnswerAReinitialisesAndAnswerEEjects) {
    printer.Answer("A", kStatusRequestB);
    printer.Answer(AnswerB(0x01), kStatusRequestB);  // the status query of the initialisation
    EXPECT_EQ(comm.QueryStatusB(), 127);
    EXPECT_EQ(Count(Written(),
                    "\x1b"
                    "f"),
              1);

    sim.serial.ClearWire();
    printer.Answer("E", kStatusRequestB);
    printer.Answer(AnswerB(0x01), kStatusRequestB);  // the eject's status query: nothing in
    EXPECT_EQ(comm.QueryStatusB(), 113);
    EXPECT_EQ(Count(Written(),
                    "\x1b"
                    "m"
                    "\x1b"
                    "u"
                    "\x1b"
                    "j"),
              1);
}

TEST_F(StatusBTest, QueryStatusDispatchesByFamilyAndFamilyTwoHasNoStatus) {
    printer.Answer(AnswerB(0x00), kStatusRequestB);
    EXPECT_EQ(comm.QueryStatus(), 65);
    comm.m_nFamily = 2;
    sim.serial.ClearWire();
    EXPECT_EQ(comm.QueryStatus(), 242);
    EXPECT_EQ(Written(), "");
}

TEST_F(StatusATest, APersistentPaperJamReinitialisesAtMostTwiceDeep) {
    printer.AnswerAlways(FrameA(49), kStatusRequestA);
    EXPECT_EQ(comm.QueryStatusA(), 49);
    EXPECT_EQ(Count(Written(),
                    "\x1b"
                    "0"),
              CComm::kMaxRecoveryDepth);
    EXPECT_EQ(comm.m_strError, Cp949("용지 걸림 - 리셋을 누르세요"));
}

TEST_F(StatusBTest, PersistentAAndEAnswersRecoverAtMostTwiceDeep) {
    printer.AnswerAlways("A", kStatusRequestB);
    EXPECT_EQ(comm.QueryStatusB(), 127);
    EXPECT_EQ(Count(Written(),
                    "\x1b"
                    "f"),
              CComm::kMaxRecoveryDepth);

    sim.serial.ClearWire();
    printer.AnswerAlways("E", kStatusRequestB);
    EXPECT_EQ(comm.QueryStatusB(), 113);
    EXPECT_EQ(Count(Written(),
                    "\x1b"
                    "u"),
              CComm::kMaxRecoveryDepth);
}

TEST_F(StatusBTest, TheCancelKeyEndsAMediumWaitWith27) {
    printer.AnswerAlways(AnswerB(0x01), kStatusRequestB);  // nothing in the printer
    sim.pump.PostKeyDown(27, 2000);
    EXPECT_EQ(comm.PaperIn(0), 27);
    EXPECT_GE(Now(), 3000u);
    EXPECT_LT(Now(), 3400u);
    EXPECT_EQ(comm.PeekKey(), 27);  // the key is left for the next wait to dispatch
}

TEST_F(StatusBTest, OtherKeysDoNotEndAWait) {
    for (int pass = 0; pass < 3; ++pass) {
        printer.Answer(AnswerB(0x01), kStatusRequestB);
    }
    printer.AnswerAlways(AnswerB(0x00), kStatusRequestB);  // then a passbook is in
    sim.pump.PostKeyDown('A');
    EXPECT_EQ(comm.PaperIn(0), 1);
    EXPECT_EQ(Count(Written(), kStatusRequestB), 4);
}
