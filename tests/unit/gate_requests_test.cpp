// The request handlers through the gate window: each client's font and paper memory, the print
// text, the stripe read written back into the request, the reset, the advise, and the refusals of
// requests that do not fit their block.
#include <gtest/gtest.h>

#include "gate_fixture.h"

class RequestTest : public GateTest {
protected:
    // The font commands of family 0 among the bytes sent: Myoungjo, Godic, enlarged, normal size.
    static std::string FontCommands(const std::string& sent) {
        std::string found;
        for (std::size_t at = sent.find('\x1b'); at != std::string::npos; at = sent.find('\x1b', at + 1)) {
            std::string command = sent.substr(at + 1, sent[at + 1] == 'm' ? 2 : 1);
            if (command == "m0" || command == "m1" || command == "3" || command == "4") {
                found += command + ' ';
            }
        }
        return found;
    }
    Client a;
    Client b;
};

TEST_F(RequestTest, AGateSendsFontCommandsWhenItsOwnFontCodeChangesOrAnotherGateChangedThePrinters) {
    OpenFamilyZero('A');
    Join(a);
    Join(b);
    struct Step {
        Client* client;
        const char* request;
        std::intptr_t result;
        const char* fonts;
    };
    const Step steps[] = {
        {&a, "L01003002ab", 1, ""},  // a gate starts with '3'
        {&a, "L01001002ab", 1, "m1 4 "}, {&a, "L01001002ab", 1, ""},      {&b, "L01002002ab", 1, "m1 3 "},
        {&a, "L01001002ab", 1, "m1 4 "},  // b changed the printer's font: a's own is set again
        {&a, "L0100x002ab", 1, ""},      {&a, "L01003002ab", 1, "m0 4 "}, {&b, "L01002002ab", 1, "m1 3 "},
        {&b, "L01004000", 0, "m0 3 "},  // nothing to print: only the font changes
    };
    for (const Step& step : steps) {
        Mark();
        EXPECT_EQ(Send(*step.client, step.request), step.result) << step.request;
        EXPECT_EQ(FontCommands(Sent()), step.fonts) << step.request;
        EXPECT_EQ(Sent().find("ab\r") != std::string::npos, step.result == 1) << step.request;
    }
}

TEST_F(RequestTest, ALineGoesToItsRowAndColumnWithShiftCodesAsBlanks) {
    OpenFamilyZero('A');
    Join(a);
    const std::string line = std::string("L03253005a\x0e") + "b\x0f" + "c";
    EXPECT_EQ(Send(a, line), 1);
    EXPECT_NE(Sent().find("\x1bL007\x1bj\x1bH025"), std::string::npos);
    EXPECT_NE(Sent().find("a b c\r"), std::string::npos);
}

TEST_F(RequestTest, AChitPaperInSendsTheLinesToTheChitPrintUntilTheEject) {
    OpenLibrary();  // the library family prints a passbook line, and answers -1 for a chit line
    Join(a);
    EXPECT_EQ(Send(a, "I00001000"), 1);
    EXPECT_EQ(Send(a, "L01013002ab"), -1);
    EXPECT_EQ(Send(a, "O00000000"), 1);
    EXPECT_EQ(Send(a, "L01013002ab"), 1);
}

TEST_F(RequestTest, AStripeReadIsWrittenIntoTheRequestAtOffsets6To88) {
    OpenLibrary();
    Join(a);
    auto read = [&](std::string& block) {
        os::Message message{os::kWmCopyData};
        message.copySize = static_cast<std::uint32_t>(block.size());
        message.copyData = block.data();
        return sim.windows.Send(a.gate->m_hWnd, message);
    };
    FakeLibrary::stripe = std::string(37, 's');
    std::string block = "R00000000" + std::string(99, '#');
    EXPECT_EQ(read(block), 1);
    EXPECT_EQ(block, "R00000037" + std::string(37, 's') + std::string(43, '\0') + std::string(19, '#'));

    FakeLibrary::stripe = std::string(104, 't');  // longer than the area: cut there
    EXPECT_EQ(read(block), 1);
    EXPECT_EQ(block, "R00000080" + std::string(80, 't') + std::string(19, '#'));

    std::string shortBlock = "R00000000" + std::string(79, '#');
    EXPECT_EQ(read(shortBlock), 18);
    EXPECT_EQ(shortBlock, "R00000000" + std::string(79, '#'));
}

TEST_F(RequestTest, ResetReopensTheSerialDevice) {
    OpenFamilyZero('A');
    Join(a);
    EXPECT_EQ(Send(a, "S00000000"), 1);
    EXPECT_EQ(sim.serial.Count().open, 2);
    EXPECT_EQ(Sent().substr(0, 2), kInitialise);
}

TEST_F(RequestTest, ResetOfTheLibraryFamilyGoesThroughTheLibraryOnlyOnceItIsLoaded) {
    OpenLibrary(false);
    Join(a);
    EXPECT_EQ(Send(a, "S00000000"), 1);
    EXPECT_TRUE(sim.library.LoadAttempts().empty());
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->m_comm.m_bOpen = 0;
    frame->m_bAutoReopen = 0;
    EXPECT_EQ(Send(a, "S00000000"), 1);  // also while the device counts as closed
    EXPECT_EQ(FakeLibrary::commands, std::vector<std::string>(2, kInitialise));  // the open's and the reset's
}

TEST_F(RequestTest, AnAdviseIsReplacedByAnotherGateKeptAgainstAWrongUnadviseAndEndedByAnEject) {
    OpenFamilyZero('P');
    Join(a);
    Join(b);
    EXPECT_EQ(Send(a, "A00000000"), 1);
    EXPECT_EQ(Send(b, "A00000000"), 1);
    EXPECT_EQ(Send(a, "U00000000"), 1);
    EXPECT_EQ(frame->m_pMsrGate, b.gate);
    com1.Answer(FrameA('A'), kStatusRequestA);
    com1.Answer("\x02\x1bs0123456789abcdef\x03", "\x1b]");
    Pump(1000);
    EXPECT_TRUE(a.proc.received.empty());
    ASSERT_EQ(b.proc.received.size(), 1u);
    EXPECT_EQ(b.proc.received[0],
              std::string("A\0\0\0\0\0", 6) + "016" + "0123456789abcdef" + std::string(83, '\0'));

    EXPECT_EQ(Send(b, "A00000000"), 1);
    EXPECT_EQ(Send(a, "O00000000"), 1);
    EXPECT_EQ(frame->m_bMsrWait, 0);
    EXPECT_FALSE(sim.windows.TimerSet(Main(), kMsrTimerId));
}

TEST_F(RequestTest, TheAdviseReplyCarriesTheFullLengthAnd98BytesOfTheText) {
    OpenLibrary();
    Join(a);
    FakeLibrary::stripe = std::string(104, 'm');
    EXPECT_EQ(Send(a, "A00000000"), 1);
    Pump(1000);
    ASSERT_EQ(a.proc.received.size(), 1u);
    EXPECT_EQ(a.proc.received[0], std::string("A\0\0\0\0\0", 6) + "104" + std::string(98, 'm') + '\0');
    EXPECT_EQ(sim.windows.CopiesSent().back().tag, static_cast<std::uintptr_t>('A'));
    EXPECT_EQ(sim.windows.CopiesSent().back().from, a.gate->m_hWnd);
}

// Requests that cannot run inside their block are refused before anything is done; the others are
// read as their fields say. None of these reaches the printer or changes the gate's font.
TEST_F(RequestTest, MalformedRequestsAreRefusedOrReadAsTheirFieldsSay) {
    OpenFamilyZero('A');
    Join(a);
    struct Case {
        std::string request;
        std::intptr_t result;
    };
    const Case cases[] = {
        {"O0", 56},
        {"L01101999" + std::string(20, 'x'), 18},
        {"L01101050" + std::string(20, 'x'), 18},
        {"L01101129" + std::string(129, 'x'), 18},
        {"M00000128" + std::string(128, 'x'), 18},
        {"L-1101005hello", 56},
        {"L01-11005hello", 56},
        {"L01103abchello", 0},
        {"L01103-05hello", 0},
        {"M00000   ", 113},
        {"M00000-01x", 113},
        {"o00000000", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Send(a, c.request), c.result) << c.request;
    }
    EXPECT_EQ(sim.windows.SendCopyData(a.gate->m_hWnd, a.window, 0, nullptr, 0), 56);
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(a.gate->m_nFont, '3');
}

TEST_F(RequestTest, AGateRegisteredByAGoneWindowDoesNoHarm) {
    OpenFamilyZero('P');
    os::Window gone = sim.windows.CreateClientWindow(a.proc);
    sim.windows.Destroy(gone);
    auto gate = static_cast<os::Window>(sim.windows.SendCopyData(Main(), gone, GATE_REGISTER, nullptr, 0));
    ASSERT_NE(gate, 0u);
    EXPECT_EQ(sim.windows.SendCopyData(gate, gone, 0, "O00000000", 9), 1);
    EXPECT_EQ(frame->m_mapGate[static_cast<std::uint16_t>(gone)]->SendAdviseMsr("1234"), 1);
    sim.windows.SendCopyData(Main(), gone, GATE_RELEASE, nullptr, 0);
    EXPECT_FALSE(Alive(gate));
    EXPECT_TRUE(a.proc.received.empty());
}
