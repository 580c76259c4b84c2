// Queued requests and the re-entrancy rule: records run one per message in arrival order with the
// wait event; requests that arrive during a printer exchange never reach the wire inside it.
#include <gtest/gtest.h>

#include "gate_fixture.h"

class QueueTest : public GateTest {
protected:
    Client a;
    Client b;
};

TEST_F(QueueTest, RecordsRunInOrderAndSignalOnlyALiveTagWindow) {
    OpenFamilyZero('A');
    Join(a);
    EXPECT_EQ(Queue(a, "L01013005first", a.window), 1);
    EXPECT_EQ(Queue(a, "L01013006second", a.window), 1);
    EXPECT_EQ(Queue(a, "L01013005third", a.window), 1);
    EXPECT_EQ(Queue(a, "C10060000", 0x1234), 1);  // its tag is no window
    EXPECT_EQ(Sent(), "");                        // nothing runs inside the client's call
    Pump();
    std::size_t second = Sent().find("second\r");
    std::size_t third = Sent().find("third\r");
    ASSERT_NE(third, std::string::npos);
    EXPECT_LT(Sent().find("first\r"), second);
    EXPECT_LT(second, third);
    EXPECT_GT(Sent().find("\033="), third);
    EXPECT_EQ(Events(), 3);
}

TEST_F(QueueTest, ShortBlocksAreRefusedAndRecordsThatCannotRunAreStillConsumed) {
    OpenFamilyZero('A');
    Join(a);
    EXPECT_EQ(Queue(a, "C10060000", a.window, 107), 56);
    EXPECT_TRUE(a.gate->m_queue.empty());
    EXPECT_EQ(Queue(a, "L01013100" + std::string(99, 'x'), a.window), 1);  // a record holds 99 data bytes
    EXPECT_EQ(Queue(a, "Z", a.window), 1);
    Pump();
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(Events(), 2);

    Queue(a, "C10060000", a.window);
    sim.windows.Send(a.gate->m_hWnd, os::Message{os::kWmClose});  // dropped unrun with the window
    Pump();
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(Events(), 2);
}

// During b's paper-in the printer takes 300 ms to answer; what a sends meanwhile is answered or
// held without a byte on the wire, and a's queued request runs once the paper-in has ended.
TEST_F(QueueTest, RequestsDuringAnExchangeAreAnsweredBusyOrWaitForItsEnd) {
    OpenFamilyZero('A');
    Join(a);
    Join(b);
    com1.Answer(FrameA('A'), kStatusRequestA, 300);
    std::intptr_t busy = 0;
    std::intptr_t unadvise = 0;
    std::intptr_t advise = 0;
    std::intptr_t queued = 0;
    std::size_t wire = 0;
    sim.pump.Post(0, 0, [&] {
        wire = com1.Received().size();
        busy = Send(a, "L01011002hi");
        unadvise = Send(a, "U00000000");
        advise = Send(a, "A00000000");
        queued = Queue(a, "C10060000", a.window);
        wire = com1.Received().size() - wire;
    });
    EXPECT_EQ(Send(b, "I00000000"), 1);
    EXPECT_EQ(busy, 85);
    EXPECT_EQ(a.gate->m_nFont, '3');  // the refused print changed nothing of the gate's own
    EXPECT_EQ(unadvise, 1);
    EXPECT_EQ(advise, 1);
    EXPECT_EQ(frame->m_pMsrGate, a.gate);  // the advise took effect without its clear command
    EXPECT_EQ(queued, 1);
    EXPECT_EQ(wire, 0u);
    EXPECT_EQ(a.gate->m_nDeferredRequests, 1);
    EXPECT_EQ(Events(), 0);
    Pump();
    EXPECT_NE(Sent().find("\033="), std::string::npos);
    EXPECT_EQ(Events(), 1);
    EXPECT_EQ(a.gate->m_nDeferredRequests, 0);
}

TEST_F(QueueTest, ARequestDuringAnOpenFindsTheDeviceClosed) {
    SetIni("MODEL", "0");
    com1.Answer(FrameA('P'), kStatusRequestA, 300);  // the open's status comes late
    Plug("COM1", com1, 0);
    Create();
    Join(a);
    Join(b);
    std::intptr_t inside = 0;
    sim.pump.Post(0, 0, [&] { inside = Send(a, "O00000000"); });
    EXPECT_EQ(Send(b, "O00000000"), 1);  // opens on demand, then ejects
    EXPECT_EQ(inside, 242);
    EXPECT_EQ(sim.serial.Count().open, 1);
}

TEST_F(QueueTest, AGateReleasedDuringItsOwnRequestLivesUntilTheRequestHasEnded) {
    OpenFamilyZero('A');
    Join(a);
    com1.Answer(FrameA('A'), kStatusRequestA, 300);
    os::Window gate = a.gate->m_hWnd;
    Queue(a, "I00000000", a.window);
    sim.pump.Post(0, 0, [&] { sim.windows.SendCopyData(Main(), a.window, GATE_RELEASE, nullptr, 0); });
    Pump();
    EXPECT_FALSE(Alive(gate));
    EXPECT_TRUE(frame->m_mapGate.empty());
    EXPECT_NE(Sent().find("\033S5"), std::string::npos);  // the paper-in ran to its end
    EXPECT_EQ(Events(), 0);                               // the gate's event went with its window
}
