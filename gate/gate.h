#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>

#include "gate/gate_host.h"
#include "gate/request.h"
#include "os/platform.h"

// Posted by a gate to itself to run its oldest queued record; a gate has at most one on its way.
constexpr std::uint32_t WM_GATEREQUEST = os::kWmGateRequest;

// A queued request: the client's tag (the window to signal), then the first 108 bytes of its block.
constexpr std::size_t kQueuedRecordBytes = 4 + kQueuedRequestBytes;
using QueuedRecord = std::array<char, kQueuedRecordBytes>;
// The records one gate holds at most; a queued request beyond them is answered 85 (busy) at once.
constexpr std::size_t kMaxQueuedRecords = 256;

// One client's gate: an invisible child window of the main window that takes the client's
// requests, runs them through the request handlers and answers with a status code, at once or
// from its own queue. It reaches the rest of the driver only through its host.
class CGate : public os::IWindowProc {
public:
    // Creates the gate window for a client; Created() says whether that worked.
    CGate(IGateHost* host, os::Window client);
    ~CGate() override;
    CGate(const CGate&) = delete;
    CGate& operator=(const CGate&) = delete;

    os::MessageResult OnMessage(os::Window self, const os::Message& message) override;

    int OnCreate();
    std::intptr_t OnCopyData(const os::Message& message);
    int OnGateRequest();
    void OnClose();
    void OnDestroy();
    // Posts the gate's one WM_GATEREQUEST when records wait and none is on its way. When the post
    // fails the main window's retry timer runs the record instead.
    void PostNextRequest();

    int SendAdviseMsr(const char* text);
    void GateTrace(const char* tag, const char* detail);

    // Runs the handler of the request's letter; 0 for a letter outside the nine.
    int Execute(const gate::Request& request);

    // ---- request handlers ---------------------------------------------------------------------
    int BankAdviseMsr();
    int StartMsg(const gate::Request& request);
    int BankPaperIn(const gate::Request& request);
    int BankPrintAt(const gate::Request& request);
    int BankMsrWrite(const gate::Request& request);
    int BankPaperOut();
    int BankMsrRead(const gate::Request& request);
    int Reset();
    int BankUnadviseMsr();

    // ---- state --------------------------------------------------------------------------------
    bool Created() const { return m_bCreated != 0; }
    os::Window Window() const { return m_hWnd; }
    os::Window Client() const { return m_hClient; }
    // The font code of this gate's last print request ('3', Myoungjo normal size, until then).
    int Font() const { return m_nFont; }
    std::size_t QueuedRecords() const { return m_queue.size(); }
    // A WM_GATEREQUEST of this gate is in the thread's queue.
    bool RequestPosted() const { return m_bRequestPosted != 0; }

private:
    os::Platform& Platform();
    // The answer to an immediate request that arrives during a printer exchange, 0 when it may run.
    int BusyAnswer(char letter);
    std::intptr_t Enqueue(const os::Message& message);
    // Takes the oldest record out of the queue and runs it: 1, or -2 when the record is not usable.
    int RunOldestRecord();
    // The trace of a failed request: the device's status text under "[GATE]" and the request's name.
    void TraceFailure(const char* tag);
    void LeaveGateList();

    IGateHost* m_pHost;
    int m_bCreated = 0;
    int m_bAdvise = 0;
    int m_nPaper = 0;
    int m_nFont = '3';
    os::Window m_hClient;
    std::deque<std::unique_ptr<QueuedRecord>> m_queue;
    os::Handle m_hWaitEvent = 0;
    os::Window m_hWnd = 0;
    int m_bRequestPosted = 0;
};
