// The gate window: its creation and end, the arrival of requests (run at once or queued), the
// queued requests' own messages, and the MSR advise reply to the client.
//
// Re-entrancy. The link's waits dispatch window messages, so a request can reach a gate while a
// printer exchange (a device operation, an open, an MSR poll, an initialise) is still waiting for
// the printer further down the stack. Two exchanges never share the wire:
//   - an immediate request that arrives during an exchange is answered at once without touching
//     the port: 85 (BANK_ACTING, the printer is busy), or 242 while the device is being opened, as
//     a closed device answers. 'A' and 'U' still run: they only change the advise state (the
//     clear command they would send is skipped during an exchange, device/msr_advise.cpp);
//   - a queued request whose WM_GATEREQUEST arrives during an exchange stays in the queue; when
//     the outermost exchange ends the main window has every gate post its message again;
//   - a gate closed or released while its own request runs is not deleted under it: the main
//     window keeps released gate objects until the exchange has ended and the message loop runs.
//
// The queue. A gate has at most one WM_GATEREQUEST in the thread's queue, not one per record: each
// runs the oldest record and posts the next, so a gate's records run one at a time in arrival
// order, each with its event, and gates with records take turns. Windows holds at most 10,000
// posted messages per thread and refuses a post beyond them; a record whose post was refused is
// run by the main window's retry timer (main_frame_exchange.cpp), so none is stranded.
#include "gate/gate.h"

#include <cstdio>
#include <cstring>

#include "base/bounded_text.h"
#include "base/status_codes.h"

namespace {

// The client window named by a record's first four bytes (32-bit little-endian).
os::Window RecordTag(const QueuedRecord& record) {
    std::uint32_t tag = 0;
    for (int i = 3; i >= 0; --i) {
        tag = (tag << 8) | static_cast<unsigned char>(record[static_cast<std::size_t>(i)]);
    }
    return tag;
}

}  // namespace

CGate::CGate(IGateHost* host, os::Window client) : m_pHost(host), m_hClient(client) {
    m_hWnd = Platform().windows.CreateGateWindow(host->Window(), *this);
    m_bCreated = m_hWnd != 0 ? 1 : 0;
}

CGate::~CGate() {
    if (m_bCreated != 0) {
        Platform().windows.Destroy(m_hWnd);
    }
}

os::Platform& CGate::Platform() {
    return m_pHost->Platform();
}

os::MessageResult CGate::OnMessage(os::Window self, const os::Message& message) {
    switch (message.id) {
        case os::kWmCreate:
            m_hWnd = self;
            return {true, OnCreate()};
        case os::kWmCopyData:
            return {true, OnCopyData(message)};
        case WM_GATEREQUEST:
            return {true, OnGateRequest()};
        case os::kWmClose:
            OnClose();
            return {false, 0};  // the default processing destroys the window
        case os::kWmDestroy:
            OnDestroy();
            return {false, 0};
        default:
            return {};
    }
}

int CGate::OnCreate() {
    m_hWaitEvent = Platform().system.OpenNamedEvent(kWaitEventName);
    m_pHost->AddGate(this);
    GateTrace("INIT", "Create Gate");
    return 0;
}

std::intptr_t CGate::OnCopyData(const os::Message& message) {
    if (message.copyTag != 0) {
        return Enqueue(message);
    }
    gate::Request request;
    int verdict = gate::ParseRequest(static_cast<char*>(message.copyData), message.copySize, request);
    if (verdict != status::DONE) {
        return verdict;
    }
    if (!gate::IsRequestLetter(request.letter)) {
        return status::NOTHING_DONE;
    }
    if (int busy = BusyAnswer(request.letter); busy != 0) {
        return busy;
    }
    return Execute(request);
}

int CGate::BusyAnswer(char letter) {
    if (letter == 'A' || letter == 'U') {
        return 0;
    }
    return m_pHost->DeviceBusy();
}

std::intptr_t CGate::Enqueue(const os::Message& message) {
    // A record always takes 108 bytes of the block: a shorter block cannot be queued.
    if (message.copyData == nullptr || message.copySize < kQueuedRequestBytes) {
        return status::ERR_COMMAND;
    }
    if (m_queue.size() >= kMaxQueuedRecords) {
        return status::BANK_ACTING;  // nothing is queued: the client tries again later
    }
    auto record = std::make_unique<QueuedRecord>();
    record->fill('\0');
    auto tag = static_cast<std::uint32_t>(message.copyTag);
    for (std::size_t i = 0; i < 4; ++i) {
        (*record)[i] = static_cast<char>((tag >> (8 * i)) & 0xFF);
    }
    std::memcpy(record->data() + 4, message.copyData, kQueuedRequestBytes);
    m_queue.push_back(std::move(record));
    PostNextRequest();
    return 1;
}

void CGate::PostNextRequest() {
    if (m_bRequestPosted != 0 || m_queue.empty() || m_bCreated == 0) {
        return;
    }
    if (Platform().windows.Post(m_hWnd, WM_GATEREQUEST)) {
        m_bRequestPosted = 1;
    } else {
        m_pHost->RetryLater();
    }
}

int CGate::OnGateRequest() {
    m_bRequestPosted = 0;
    if (m_queue.empty()) {
        return -1;
    }
    if (m_pHost->DeviceBusy() != 0) {
        return 0;  // the record waits; the end of the exchange posts this again
    }
    int result = RunOldestRecord();
    PostNextRequest();
    return result;
}

int CGate::RunOldestRecord() {
    // Taken out first: a close of this gate during the request frees the queue, not this record.
    std::unique_ptr<QueuedRecord> record = std::move(m_queue.front());
    m_queue.pop_front();
    if (record == nullptr) {
        return -2;
    }
    gate::Request request;
    if (gate::ParseRequest(record->data() + 4, kQueuedRequestBytes, request) == status::DONE) {
        Execute(request);
    }
    os::Window client = RecordTag(*record);
    if (client != 0 && m_hWaitEvent != 0 && Platform().windows.IsWindow(client)) {
        Platform().system.SetEvent(m_hWaitEvent);
        GateTrace("SIGNAL", "wait event set");
    }
    return 1;
}

void CGate::LeaveGateList() {
    if (m_bAdvise != 0) {
        m_pHost->StopMsrAdvise(this);
    }
    m_pHost->RemoveGate(this);
    m_bAdvise = 0;
}

void CGate::OnClose() {
    GateTrace("INIT", "Close Gate");
    LeaveGateList();
}

void CGate::OnDestroy() {
    LeaveGateList();
    m_bCreated = 0;
    if (m_hWaitEvent != 0) {
        Platform().system.CloseHandle(m_hWaitEvent);
        m_hWaitEvent = 0;
    }
    // Requests that have not run are dropped without running and without their event.
    m_queue.clear();
}

int CGate::SendAdviseMsr(const char* text) {
    if (m_hClient == 0) {
        return 0;
    }
    if (text == nullptr) {
        text = "";
    }
    char reply[kAdviseReplyBytes] = {};
    reply[0] = 'A';
    char length[16];
    std::snprintf(length, sizeof(length), "%03d", static_cast<int>(std::strlen(text)));
    std::memcpy(reply + 6, length, 3);
    CopyBounded(reply + 9, 99, text, 1);
    Platform().windows.SendCopyData(m_hClient, m_hWnd, kAdviseReplyTag, reply, sizeof(reply));
    GateTrace("SEND ADVISE MSR", text);
    return 1;
}

void CGate::GateTrace(const char* tag, const char* detail) {
    // Records go to the debugger channel only: nothing is written to disk and nothing depends on it.
    char record[512];
    std::snprintf(record, sizeof(record), "Lodevar gate %s: %s\n", tag != nullptr ? tag : "",
                  detail != nullptr ? detail : "");
    Platform().system.DebugOutput(record);
}
