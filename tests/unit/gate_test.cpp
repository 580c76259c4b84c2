// The gates, their request handlers and refusals, and the device operations behind them.

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

#include "app_fixture.h"
#include "cp949.h"

namespace {

const std::string kPrintEnd = "\033[000";

// The font commands of family 0 among the bytes sent: Myoungjo, Godic, enlarged, normal size.
std::string FontCommands(const std::string& sent) {
    std::string found;
    for (std::size_t at = sent.find('\033'); at != std::string::npos; at = sent.find('\033', at + 1)) {
        std::string command = sent.substr(at + 1, sent[at + 1] == 'm' ? 2 : 1);
        if (command == "m0" || command == "m1" || command == "3" || command == "4") {
            found += command + ' ';
        }
    }
    return found;
}

// True when `sent` holds each text, each after the one before it.
bool InOrder(const std::string& sent, const std::vector<std::string>& texts) {
    std::size_t at = 0;
    for (const std::string& text : texts) {
        at = sent.find(text, at);
        if (at == std::string::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST_F(GateTest, RecordsRunInOrderAShortBlockIsRefusedAndOnlyALiveTagWindowIsSignalled) {
    Ready();
    EXPECT_EQ(Queue(a, "C10060000", a.window, 107), 56);
    EXPECT_EQ(Queue(a, "L01013100" + std::string(99, 'x'), a.window), 1);  // a record holds 99 data bytes
    EXPECT_EQ(Queue(a, "Z", a.window), 1);
    Pump();
    EXPECT_EQ(std::tuple(Sent(), Events()), std::tuple("", 2));  // records that cannot run are consumed
    for (const char* line : {"L01013005first", "L01013006second", "L01013005third"}) {
        EXPECT_EQ(Queue(a, line, a.window), 1);
    }
    EXPECT_EQ(Queue(a, "C10060000", 0x1234), 1);  // its tag is no window
    EXPECT_EQ(Sent(), "");                        // nothing runs inside the client's call
    Pump();
    EXPECT_TRUE(InOrder(Sent(), {"first\r", "second\r", "third\r", "\033="})) << Sent();
    EXPECT_EQ(Events(), 5);
}

// During b's paper-in the printer takes 300 ms to answer; what a sends meanwhile is answered or
// held, and a's queued request runs once the paper-in has ended.
TEST_F(GateTest, RequestsDuringAnExchangeAreAnsweredBusyOrWaitForItsEnd) {
    Ready();
    Join(b);
    com1.Answer(FrameA('A'), kStatusRequestA, 300);
    std::vector<std::intptr_t> answers;
    sim.pump.Post(0, 0, [&] {
        answers = {Send(a, "L01011002hi"), Send(a, "U00000000"), Send(a, "A00000000"),
                   Queue(a, "C10060000", a.window)};
    });
    EXPECT_EQ(Send(b, "I00000000"), 1);
    EXPECT_EQ(answers, (std::vector<std::intptr_t>{85, 1, 1, 1}));  // busy, then the advise state and queue
    EXPECT_EQ(std::tuple(a.gate->QueuedRecords(), Events()), std::tuple(1u, 0));
    Pump();
    EXPECT_EQ(std::tuple(a.gate->QueuedRecords(), Events()), std::tuple(0u, 1));
}

// Windows refuses a post while 10,000 posted messages wait for the thread: with every post failing,
// and with one at a time getting through, each record still runs exactly once and in its gate's
// order.
TEST_F(GateTest, WithPostsFailingEveryRecordRunsOnceInOrder) {
    Ready();
    Join(b);
    for (std::size_t limit : {0, 1}) {
        sim.windows.postLimit = limit;
        const std::string n = std::to_string(limit);
        Mark();
        for (const char* text : {"a1", "b1", "a2", "a3", "b2"}) {
            EXPECT_EQ(Queue(text[0] == 'a' ? a : b, "L01013003" + std::string(text) + n, a.window), 1);
        }
        Pump(1000);
        for (const char* text : {"a1", "a2", "a3", "b1", "b2"}) {
            EXPECT_EQ(CountOf(Sent(), text + n + "\r"), 1) << text << n;
        }
        EXPECT_TRUE(InOrder(Sent(), {"a1" + n, "a2" + n, "a3" + n}) && InOrder(Sent(), {"b1" + n, "b2" + n}));
        EXPECT_EQ(Events(), 5 * static_cast<int>(limit + 1)) << limit;
    }
}

// A full queue answers busy and keeps nothing until a record has run; past the gates' bound a
// registration answers 0 and makes no window, unless a gate whose client window is gone can go.
TEST_F(GateTest, AFullQueueAnswersBusyAndRegistrationsPastTheBoundGetNoGateUnlessAClientHasGone) {
    Ready();
    for (std::size_t i = 0; i < kMaxQueuedRecords; ++i) {
        ASSERT_EQ(Queue(a, "C10060000", a.window), 1) << i;
    }
    EXPECT_EQ(Queue(a, "C10060000", a.window), 85);
    Pump();
    EXPECT_EQ(Events(), static_cast<int>(kMaxQueuedRecords));

    std::vector<Client> clients(kMaxGates - 1);
    for (Client& client : clients) {
        Join(client);
    }
    const std::size_t gateWindows = sim.windows.LiveChildren(Main()).size();
    EXPECT_EQ((std::tuple{Register(b.proc), sim.windows.LiveChildren(Main()).size()}),
              std::tuple(nullptr, gateWindows));
    const os::Window goneGate = clients[7].gate->Window();
    sim.windows.Destroy(clients[7].window);  // a client that ended without releasing its gate
    EXPECT_NE(Register(b.proc), nullptr);
    EXPECT_FALSE(Alive(goneGate));
    EXPECT_EQ(Send(clients[8], "C10060000"), 1);  // the other gates work on
}

TEST_F(GateTest, ARequestDuringAnOpenFindsTheDeviceClosed) {
    SetIni("MODEL", "0");
    com1.Answer(FrameA('P'), kStatusRequestA, 300);  // the open's status comes late
    Plug("COM1", com1, 0);
    Create();
    Join(a);
    Join(b);
    std::intptr_t inside = 0;
    sim.pump.Post(0, 0, [&] { inside = Send(a, "O00000000"); });
    EXPECT_EQ(Send(b, "O00000000"), 1);  // opens on demand, then ejects
    EXPECT_EQ(std::tuple(inside, sim.serial.Count().open), std::tuple(242, 1));
}

TEST_F(GateTest, AGateReleasedDuringItsOwnRequestLivesUntilTheRequestHasEnded) {
    Ready();
    com1.Answer(FrameA('A'), kStatusRequestA, 300);
    os::Window gate = a.gate->Window();
    Queue(a, "I00000000", a.window);
    sim.pump.Post(0, 0, [&] { sim.windows.SendCopyData(Main(), a.window, GATE_RELEASE, nullptr, 0); });
    Pump();
    EXPECT_FALSE(Alive(gate));
    EXPECT_NE(Sent().find("\033S5"), std::string::npos);  // the paper-in ran to its end
}

TEST_F(GateTest, AGateSendsFontCommandsWhenItsOwnFontCodeChangesOrAnotherGateChangedThePrinters) {
    Ready();
    Join(b);
    struct Step {
        Client* client;
        const char* request;
        const char* fonts;
    };
    const Step steps[] = {
        {&a, "L01003002ab", ""},  // a gate starts with '3'
        {&a, "L01001002ab", "m1 4 "}, {&a, "L01001002ab", ""},      {&b, "L01002002ab", "m1 3 "},
        {&a, "L01001002ab", "m1 4 "},  // b changed the printer's font: a's own is set again
        {&a, "L0100x002ab", ""},      {&a, "L01003002ab", "m0 4 "}, {&b, "L01002002ab", "m1 3 "},
    };
    for (const Step& step : steps) {
        Mark();
        EXPECT_EQ(Send(*step.client, step.request), 1) << step.request;
        EXPECT_EQ(FontCommands(Sent()), step.fonts) << step.request;
    }
    Mark();  // nothing to print: only the font changes
    EXPECT_EQ((std::tuple{Send(b, "L01004000"), FontCommands(Sent())}), std::tuple(0, "m0 3 "));
}

TEST_F(GateTest, ALineGoesToItsRowAndColumnWithShiftCodesAsBlanksAndAResetReopensTheDevice) {
    Ready();
    EXPECT_EQ(Send(a, "L03253005a\016b\017c"), 1);  // shift out and in
    EXPECT_TRUE(InOrder(Sent(), {"\033L007\033j\033H025", "a b c\r"})) << Sent();
    com1.AnswerAlways(FrameA('B'), kStatusRequestA);  // a chit in: the chit's line at the same place
    EXPECT_EQ(Send(a, "I00001000"), 1);
    Mark();
    EXPECT_EQ(Send(a, "L03253002ab"), 1);
    EXPECT_NE(Sent().find("\033L007\033j\033H025"), std::string::npos) << Sent();
    Mark();
    EXPECT_EQ(Send(a, "S00000000"), 1);
    EXPECT_EQ(std::tuple(sim.serial.Count().open, Sent().substr(0, 2)),
              std::tuple(2, "\0330"));  // initialise
}

// The library's reset goes through it once it is loaded, then also while the device counts as closed;
// a chit line is refused until the eject.
TEST_F(GateTest, OnTheLibraryAChitWaitsForTheEjectAStripeReadFillsOffsets6To88AndAWriteTakes255Bytes) {
    OpenLibrary(false);
    Join(a);
    EXPECT_EQ(Send(a, "S00000000"), 1);
    EXPECT_TRUE(sim.library.LoadAttempts().empty());
    // Opens on demand; a chit line is refused until the eject, and only option '1' means a chit.
    EXPECT_EQ((std::tuple{Send(a, "I00001000"), Send(a, "L01013002ab"), Send(a, "O00000000"),
                          Send(a, "L01013002ab"), Send(a, "I00002000"), Send(a, "L01013002ab")}),
              std::tuple(1, -1, 1, 1, 1, 1));
    auto read = [&](std::string& block) {  // the block itself, to see what the gate writes into it
        const auto size = static_cast<std::uint32_t>(block.size());
        return sim.windows.Send(a.gate->Window(), os::Message{os::kWmCopyData, 0, 0, 0, size, block.data()});
    };
    library.stripe = "X" + std::string(37, 's');
    std::string block = "R00000000" + std::string(99, '#');
    EXPECT_EQ(
        (std::tuple{read(block), block}),
        std::tuple(1, "R00000037" + std::string(37, 's') + std::string(43, '\0') + std::string(19, '#')));
    library.stripe = "X" + std::string(104, 't');  // longer than the area: cut there
    EXPECT_EQ((std::tuple{read(block), block}),
              std::tuple(1, "R00000080" + std::string(80, 't') + std::string(19, '#')));
    std::string shortBlock = "R00000000" + std::string(79, '#');
    EXPECT_EQ((std::tuple{read(shortBlock), shortBlock}), std::tuple(18, "R00000000" + std::string(79, '#')));
    library.calls.clear();  // a stripe write takes 255 bytes of a longer text
    EXPECT_EQ((std::tuple{frame->MSRWRITE(std::string(300, 'd').c_str(), 300), library.calls}),
              std::tuple(1, std::vector<std::string>{"WriteMsrw(\":" + std::string(255, 'd') + "\")"}));

    frame->Comm().m_bOpen = 0;
    frame->SetAutoReopen(0);
    library.calls.clear();
    EXPECT_EQ((std::tuple{Send(a, "S00000000"), library.calls}),
              std::tuple(1, std::vector<std::string>{"WriteCommand(\"\\x1b0\")"}));
}

TEST_F(GateTest, AnAdviseIsReplacedByAnotherGateAndKeptAgainstAWrongUnadvise) {
    OpenFamilyZero('P');
    Join(a);
    Join(b);
    EXPECT_EQ((std::tuple{Send(a, "A00000000"), Send(b, "A00000000"), Send(a, "U00000000"), frame->MsrGate(),
                          Sent()}),
              std::tuple(1, 1, 1, b.gate, kClearA + kClearA));  // each advise clears the printer
    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer("\002\033s0123456789abcdef\003", "\033]");
    Pump(1000);
    EXPECT_TRUE(a.proc.received.empty());
    ASSERT_EQ(b.proc.received.size(), 1u);
    EXPECT_EQ(b.proc.received[0],
              std::string("A\0\0\0\0\0", 6) + "016" + "0123456789abcdef" + std::string(83, '\0'));
}

TEST_F(GateTest, MalformedRequestsAreRefusedOrReadAsTheirFieldsSay) {
    Ready();
    const std::string x20(20, 'x');
    // clang-format off
    const std::pair<std::string, std::intptr_t> cases[] = {
        {"O0", 56},           {"L01101999" + x20, 18},  {"L01101050" + x20, 18},
        {"L01101129" + std::string(129, 'x'), 18},      {"M00000128" + std::string(128, 'x'), 18},
        {"L-1101005hello", 56}, {"L01-11005hello", 56}, {"L01103abchello", 0},  {"L01103-05hello", 0},
        {"M00000   ", 113},     {"M00000-01x", 113},    {"o00000000", 0}};
    // clang-format on
    for (const auto& [request, result] : cases) {
        EXPECT_EQ(Send(a, request), result) << request;
    }
    EXPECT_EQ(sim.windows.SendCopyData(a.gate->Window(), a.window, 0, nullptr, 0), 56);
    EXPECT_EQ(std::tuple(Sent(), a.gate->Font()), std::tuple("", '3'));
}

TEST_F(GateTest, AClosedDeviceAnswers242AndOnlyPrintsAndPaperOutHaveEndedTheWait) {
    Create();
    Join(a);
    CMainFrame& f = *frame;
    f.SetAutoReopen(0);
    char buffer[8];
    const std::tuple<const char*, std::function<int()>, bool> cases[] = {
        // name, operation, ends the wait
        {"PRINTBANK", [&] { return f.PRINTBANK(1, 1, "x", 1); }, true},
        {"PRINTCHIT", [&] { return f.PRINTCHIT(1, 1, "x", 1); }, true},
        {"PAPEROUT", [&] { return f.PAPEROUT(); }, true},
        {"PAPERIN", [&] { return f.PAPERIN(0); }, false},
        {"MSRREAD", [&] { return f.MSRREAD(buffer, 8); }, false},
        {"MSRWRITE", [&] { return f.MSRWRITE("x", 1); }, false},
        {"SETPITCH", [&] { return f.SETPITCH(10, 6); }, false},
        {"SETGODICFONT", [&] { return f.SETGODICFONT(); }, false},
        {"GETSTATUS", [&] { return f.GETSTATUS(); }, false},
    };
    for (const auto& [name, run, endsWait] : cases) {
        frame->StartMsrAdvise(a.gate);
        EXPECT_EQ(run(), 242) << name;
        EXPECT_EQ(frame->MsrWaiting(), endsWait ? 0 : 1) << name;
    }
    EXPECT_EQ(sim.serial.Count().open, 0);
}

TEST_F(GateTest, OnFamilyZeroALineGoesOutAs510BytesAndACrAStripeWriteAfterALoneCrAndThePitchAs12) {
    OpenFamilyZero('A');
    const std::string longText(600, 'x');
    const std::pair<std::function<int()>, std::string> cases[] = {
        {[&] { return frame->PRINTBANK(25, 3, longText.c_str(), 600); },
         "\033l\033j\033j\033L007\033j\033H025\033j\033l\033j" + std::string(510, 'x') + "\r" + kPrintEnd},
        {[&] { return frame->MSRWRITE(longText.c_str(), 300); },  // family 0 frames 16 characters of the data
         "\033l\033j\r" + kPrintEnd + "\033l\033S5\033L000\033j\033t" + std::string(16, 'x') +
             "\x1d\033\\\033j"},
        {[&] { return frame->SETPITCH(10, 6); }, "\033="},  // always 12 characters per inch, never ESC '<'
        {[&] {
             com1.AnswerAlways(FrameA('B'), kStatusRequestA);  // a chit in
             return frame->PRINTCHIT(2, 0, longText.c_str(), 600);
         },
         "\033l\033j\033j\033L004\033j\033H002\033j\033j" + std::string(510, 'x') + "\r" + kPrintEnd},
    };
    for (const auto& [run, wire] : cases) {
        Mark();
        EXPECT_EQ(run(), 1);
        EXPECT_EQ(Sent(), wire);
    }
}

TEST_F(GateTest, ThePitchIsAlways12And5OnFamilyOne) {
    OpenFamily(1, AnswerB(0x01));
    EXPECT_EQ((std::tuple{frame->SETPITCH(10, 6), Sent()}),
              std::tuple(1, "\033m\033/0\033j"));  // 6 would be 2
}

TEST_F(GateTest, AFailureLeavesTheTextOfTheLastStatusMetAndTheLastErrorCutsIt) {
    OpenFamilyZero('A');
    char text[32];
    EXPECT_EQ(frame->GETLASTERROR(text, 10), 9);  // a Korean text cut inside a character
    EXPECT_EQ(std::string(text, 10), Cp949("통장인쇄기 초기화 완료").substr(0, 9) + '\0');

    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA(50), kStatusRequestA);  // after the stripe write: no paper
    EXPECT_EQ(frame->MSRWRITE("1234", 4), 50);
    EXPECT_EQ(std::string(text, frame->GETLASTERROR(text, 32)), Cp949("용지 없음 - 용지 삽입"));

    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer(FrameA(153), kStatusRequestA);  // a code without a name or a text
    EXPECT_EQ(frame->MSRWRITE("1234", 4), 153);
    EXPECT_EQ(std::tuple(frame->StatusText(), sim.system.debugLines.back()),
              std::tuple(Cp949("통장이 들어와 있음"), "Lodevar 0x99: NO Define Msg\n"));
}
