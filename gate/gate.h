#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>

#include "os/platform.h"

class CMainFrame;

// Posted by a gate to itself, once per queued request.
constexpr std::uint32_t WM_GATEREQUEST = 2025;

inline constexpr char kWaitEventName[] = "QRVA WAIT BANK DRIVER EVENT....";

// A queued request: the client's tag (the window to signal), then the first 108 bytes of its block.
constexpr std::size_t kQueuedRecordBytes = 112;
constexpr std::size_t kQueuedRequestBytes = 108;
using QueuedRecord = std::array<char, kQueuedRecordBytes>;

// One client's gate: an invisible child window of the main window that takes the client's
// requests, runs them through the request handlers and answers with a status code, at once or
// from its own queue.
class CGate : public os::IWindowProc {
public:
    // Creates the gate window for a client; m_bCreated says whether that worked.
    CGate(CMainFrame* frame, os::Window client);
    ~CGate() override;
    CGate(const CGate&) = delete;
    CGate& operator=(const CGate&) = delete;

    os::MessageResult OnMessage(os::Window self, const os::Message& message) override;

    int OnCreate();
    std::intptr_t OnCopyData(const os::Message& message);
    int OnGateRequest();
    void OnClose();
    void OnDestroy();

    int SendAdviseMsr(const char* text);
    void GateTrace(const char* tag, const char* detail);

    // Runs the handler of the request's letter on `size` bytes at `request`; 0 for a letter
    // outside the nine.
    int Execute(char* request, std::size_t size);

    // ---- request handlers ---------------------------------------------------------------------
    int BankAdviseMsr();
    int StartMsg(const char* request);
    int BankPaperIn(const char* request);
    int BankPrintAt(const char* request, std::size_t size);
    int BankMsrWrite(const char* request, std::size_t size);
    int BankPaperOut();
    int BankMsrRead(char* request, std::size_t size);
    int Reset();
    int BankUnadviseMsr();

    // ---- fields -------------------------------------------------------------------------------
    CMainFrame* m_pFrame;
    int m_bCreated = 0;
    int m_bAdvise = 0;
    int m_nPaper = 0;
    int m_nFont = '3';
    os::Window m_hClient;
    std::deque<std::unique_ptr<QueuedRecord>> m_queue;
    os::Handle m_hWaitEvent = 0;
    os::Window m_hWnd = 0;
    // WM_GATEREQUEST messages that arrived while a printer exchange ran: as many are posted again
    // when it ends, so every queued record still gets its own message.
    int m_nDeferredRequests = 0;
};
