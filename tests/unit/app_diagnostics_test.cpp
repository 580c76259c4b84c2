// What branch IT and support see of an incident: the diagnostics log, the tray's tip and balloons,
// and the state a diagnostic program asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "app_fixture.h"
#include "cp949.h"

namespace {

constexpr char kLog[] = "C:\\Lodevar\\User\\Lodevar.log";

// The log's lines without their time stamps ("2026-12-06 09:30:00.000 ").
std::vector<std::string> LogEvents(const std::string& text) {
    std::vector<std::string> events;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.back(), '\r') << line;
        EXPECT_EQ(line.substr(0, 24), "2026-12-06 09:30:00.000 ") << line;
        events.push_back(line.substr(24, line.size() - 25));
    }
    return events;
}

}  // namespace

class DiagnosticsTest : public GateTest {};

TEST_F(DiagnosticsTest, TheLogTellsStartFailedOpensTheAnswerTheOpenALostLinkAndTheEndInOrder) {
    SetIni("LOG", "1");
    SetIni("MODEL", "0");
    Create();
    sim.desktop.defaultQuestionAnswer = os::kIdOk;
    EXPECT_EQ(frame->OpenPrinter(0), 242);  // no printer on either port
    // A printer that answers the open, then falls silent and goes during an eject that waits for it.
    com1.Answer(FrameA('P'), kStatusRequestA);
    Plug("COM1", com1);
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    sim.pump.Post(
        0x0400, 0, [&] { sim.serial.Unplug("COM1"); }, 2000);
    EXPECT_EQ(frame->PAPEROUT(), 242);
    frame->OnMessage(Main(), os::Message{WM_CLOSEQUIET});

    EXPECT_EQ(
        LogEvents(sim.system.FileText(kLog)),
        (Names{"START Lodevar " LODEVAR_VERSION " pid 4242 C:\\Lodevar\\lodevar.exe",
               "SETTINGS PORT=1 SPEED=9600 TRACE=0 MODEL=0", "OPEN FAILED COM1 family 0: Create File Error",
               "OPEN FAILED COM2 family 0: Create File Error",
               "QUESTION yes: the next request opens the printer again",
               "OPEN COM1 family 0: " + Cp949("통장인쇄기 초기화 완료"),
               "STATUS 242 ERR_PBPROFF: " + Cp949("Response가 없다"),
               "LINK LOST COM1 family 0: " + Cp949("Response가 없다"), "QUIET CLOSE", "END"}));
}

TEST_F(DiagnosticsTest, NeitherStripeDataNorPrintedTextReachTheLogEvenWithTraceOn) {
    SetIni("LOG", "1");
    SetIni("TRACE", "1");
    library.writeAnswer = 113;
    library.stripe = "XSECRET-STRIPE-READ";
    OpenLibrary();
    Join(a);
    EXPECT_EQ(Send(a, "M00000014SECRET-WRITTEN"), 113);
    EXPECT_EQ(Send(a, "L01011012SECRET-PRINT"), 1);
    EXPECT_EQ(Send(a, "R00000000" + std::string(80, '\0')), 1);
    EXPECT_EQ(Send(a, "A00000000"), 1);
    Pump(1500);
    ASSERT_EQ(a.proc.received.size(), 1u);  // the stripe went to the client

    const std::string log = sim.system.FileText(kLog);
    EXPECT_NE(log.find("STATUS 113 ERR_MSRRDWR: MS READ/WRITE ERROR\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("SECRET"), std::string::npos) << log;
    // The trace records, which go to the debugger channel, do carry them.
    const auto& traces = sim.system.debugLines;
    EXPECT_TRUE(std::any_of(traces.begin(), traces.end(), [](const std::string& line) {
        return line.find("SECRET-WRITTEN") != std::string::npos;
    }));
}

TEST_F(DiagnosticsTest, TheStateGoesBackToTheAskingWindowAndTouchesNeitherGatesNoticesNorPrinter) {
    OpenFamilyZero('P');
    Join(a);
    const os::Window noticeWindow = frame->PrintEndWindow();
    ClientWindow asker;
    const os::Window window = sim.windows.CreateClientWindow(asker);
    const std::size_t sent = com1.Received().size();
    EXPECT_EQ(sim.windows.SendCopyData(Main(), window, GATE_INFO, nullptr, 0), 1);
    ASSERT_EQ(asker.received.size(), 1u);
    const std::string& info = asker.received[0];
    EXPECT_EQ(info.substr(0, 13), "LODEVAR_INFO\n");
    for (const char* line : {"\nversion=" LODEVAR_VERSION "\n", "\ngates=1\n", "\ndevice=open\n",
                             "\nport=COM1\n", "\nbusy=0\n", "\nlog=off\n"}) {
        EXPECT_NE(info.find(line), std::string::npos) << line << " in " << info;
    }
    // No window to answer, or one of the driver's own (which would ask again, or run the state as a
    // request): nothing is sent.
    for (os::Window sender : {os::Window{0}, Main(), a.gate->Window()}) {
        EXPECT_EQ(sim.windows.SendCopyData(Main(), sender, GATE_INFO, nullptr, 0), 0) << sender;
    }
    Pump(500);
    EXPECT_EQ(std::tuple(frame->PrintEndWindow(), frame->GateCount(), asker.received.size(),
                         com1.Received().size()),
              std::tuple(noticeWindow, 1u, 1u, sent));
}
