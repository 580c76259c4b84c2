#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/diag_log.h"
#include "comm/comm.h"
#include "gate/request.h"
#include "lodevar_version.h"
#include "os/platform.h"
#include "res/resource.h"

class CGate;

// Private window messages and tray menu commands of the main window.
constexpr std::uint32_t WM_TRAYNOTIFY = os::kWmTrayNotify;
constexpr std::uint32_t WM_CLOSEQUIET = os::kWmCloseQuiet;
// Posted to itself to run what had to wait for a printer exchange to end.
constexpr std::uint32_t WM_EXCHANGEDONE = 2024;
constexpr int ID_APP_ABOUT = IDM_APP_ABOUT;
constexpr int ID_TRAY_CONFIG = IDM_TRAY_CONFIG;
constexpr int ID_TRAY_INIT = IDM_TRAY_INIT;
constexpr int ID_TRAY_EXIT = IDM_TRAY_EXIT;
constexpr std::uintptr_t kMsrTimerId = 1;
constexpr std::uint32_t kMsrTimerPeriodMs = 1000;
// Set only while something waits whose post was refused (a queued record, the deferred work).
constexpr std::uintptr_t kRetryTimerId = 2;
constexpr std::uint32_t kRetryTimerPeriodMs = 50;
// The live gates the driver keeps at most; a registration beyond them answers 0.
constexpr std::size_t kMaxGates = 64;
constexpr std::uint32_t kTrayIconId = IDR_MAINFRAME;

// Caption of the driver's own message boxes: the application title.
inline constexpr char kAppTitle[] = "Lodevar";

// The hidden main window: the hub of the driver. It holds the settings, the printer link, the
// client gates and the MSR wait, and offers the device operations the gates call. Its logic is
// plain C++ behind the platform seam; the platform calls OnMessage for every window message.
class CMainFrame : public os::IWindowProc {
public:
    explicit CMainFrame(os::Platform& platform);
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the window (its class is registered by start-up); false when creation failed.
    bool Create();
    os::MessageResult OnMessage(os::Window self, const os::Message& message) override;

    // ---- window messages and commands -----------------------------------------------------
    int OnCreate();
    void OnClose();
    void OnCloseQuiet();
    // Log-off: the session may end (answered yes), and then ends.
    bool OnQueryEndSession();
    void OnEndSession(bool ending);
    void OnDestroy();
    void OnTimer();
    void OnTrayNotify(std::intptr_t mouseMessage);
    void OnCommand(int command);
    std::intptr_t OnCopyData(os::Window sender, const os::Message& message);
    void OnTaskbarCreated();
    // The answer to GATE_INFO: 1 when the state was sent to `sender`, 0 when it is no window.
    std::intptr_t AnswerInfo(os::Window sender);
    // The state as "key=value" lines.
    std::string InfoText();
    // The answer of the settings dialog or the close question (kWmOperatorAnswer).
    void OnOperatorAnswer(std::uintptr_t ui);
    // Runs what was deferred while a printer exchange ran (posted by the guard at its end).
    void OnExchangeDone();
    // Arms the retry timer: a post was refused, and what it was to start must not be lost.
    void RetryLater();
    // The retry timer's tick: runs the deferred work and one queued record of each gate that has
    // no message on its way.
    void OnRetryTimer();

    // ---- settings ---------------------------------------------------------------------------
    void LoadSettings();
    bool MonitorEnabled();
    void StartMonitor();
    void OnTrayConfig();
    std::string SettingsPath() const;

    // ---- device connection ------------------------------------------------------------------
    int OpenPrinter(int unused);
    void OnInitPrinter();
    void NotifyPrintEnd(int status);

    // ---- device operations (the only way the gates reach the printer) -------------------------
    int GETSTATUS();
    int PRINTBANK(std::int16_t column, std::int16_t row, const char* text, std::int16_t length);
    int PRINTCHIT(std::int16_t column, std::int16_t row, const char* text, std::int16_t length);
    int PAPERIN(int kind);
    int PAPEROUT();
    int MSRREAD(char* buffer, int capacity);
    int MSRWRITE(const char* data, int length);
    int SETCOL(int column);
    int SETROW(int row);
    int SETBLACKCOLOR();
    int SETREDCOLOR();
    int SETPITCH(int cpi, int lpi);
    int SETENLARGEFONT();
    int SETNORMAFONT();
    int SETMYOUNGJOFONT();
    int SETGODICFONT();
    int GETLASTERROR(char* buffer, int size);
    int StartMsrAdvise(CGate* gate);
    int StopMsrAdvise(CGate* gate);
    int StatusName(int code);

    // ---- gates --------------------------------------------------------------------------------
    int AddGate(CGate* gate);
    int RemoveGate(CGate* gate);
    void RemoveAllGates();
    void DestroyAllGates();

    // ---- re-entrancy --------------------------------------------------------------------------
    // True while a printer exchange (an open, a device operation, an MSR poll, an initialise) is
    // running further down the stack: the waits of the link dispatch window messages, so requests,
    // timer ticks and menu commands can arrive in the middle of one.
    bool ExchangeRunning() const { return m_nExchangeDepth > 0; }
    bool OpenRunning() const { return m_bOpening != 0; }

    void FrameTrace(const char* tag, const char* detail);

    // ---- what the operator and branch IT see of the printer's state ---------------------------
    // The tray tip: m_strTip, and on a second line the printer's state (the status text after an
    // open or a failure, the link's error after a failed open or a lost link).
    std::string TrayTip() const;
    void SetTrayState(const std::string& state);
    // The open succeeded: the tip says so, with a balloon when the printer had been lost or had not
    // opened before.
    void DeviceOpened();
    void DeviceOpenFailed();
    // The link was lost during an exchange: the tip and a warning balloon say so.
    void DeviceLost();
    void LogSettings(const char* event);
    // A device event: "COM1 family 0: <text>".
    void LogDevice(const char* event, int port, const std::string& text);

    // ---- fields -------------------------------------------------------------------------------
    os::Window m_hClientWnd = 0;
    // "Banking Printer Driver V1.0": the major and minor version of the one version source.
    std::string m_strTip = "Banking Printer Driver V" LODEVAR_VERSION_SHORT;
    int m_nTrace = 0;
    std::string m_strHomeDir;
    std::vector<CGate*> m_listGate;
    int m_bAutoReopen = 1;
    int m_bMsrWait = 0;
    int m_nPort = 1;
    int m_nSpeed = 9600;
    CComm m_comm;
    std::string m_strStatus;
    CGate* m_pMsrGate = nullptr;
    int m_nModel = 242;
    std::map<std::uint16_t, CGate*> m_mapGate;
    // The font code whose operations a gate ran last: the printer's font, which every gate's print
    // request compares with its own (Myoungjo, normal size until then).
    int m_nPrinterFont = '3';
    CDiagLog m_log;
    // The state the tray tip shows, and whether the printer is open (1), down (2) or not yet opened (0).
    std::string m_strTrayState;
    int m_nLinkState = 0;
    char m_szClassName[128] = "QRVA Bank Driver";
    char m_szWindowName[128] = "QRVA Bank Driver";
    os::Window m_hWnd = 0;

    os::Platform& Platform() { return *m_pPlatform; }

private:
    friend class CExchange;

    // What an OK of the settings dialog chose.
    struct SettingsChoice {
        int port = 1;
        int speed = 9600;
        int trace = 0;
        int model = 242;
    };

    void ClosingSteps();
    void OnCloseAnswer(bool yes);
    void OnSettingsAnswer(const os::OperatorAnswer& answer);
    void EndOfExchange();
    void PostExchangeDone();
    void RunDeferredWork();
    // Has every gate with queued records and no message on its way post one.
    void PostGateRequests();
    // Steps the device operations share (device/device_operations.cpp).
    int DeviceBusy();
    bool OpenOnDemand();
    void EndMsrWait();
    int PrepareDevice(bool endWaitFirst);
    // 242 when the link went down during the operation, else `result`.
    int LinkVerdict(int result);
    // The operation's last step: a failure is named, its text becoming the status text.
    int Answer(int result);
    // Closes the device when its link was lost: the next request, or the tray's initialise, opens it again.
    void CloseLostDevice();
    void TraceOperation(const char* tag, const char* detail);
    int PrintAt(bool chit, std::int16_t column, std::int16_t row, const char* text, std::int16_t length);
    int RunSetter(const char* tag, const char* detail, void (*step)(CComm& comm, int argument), int argument);
    void DeleteReleasedGates();
    void AddTrayIcon();
    void ApplySettingsAndOpen(const SettingsChoice& choice);
    int OpenAttempts();
    void StoreSettings(const std::string& path);
    std::intptr_t RegisterGate(os::Window client, os::Window noticeWindow);
    // The window a registration names for end-of-print notices: its size field, or the window of a
    // notice record.
    static os::Window NoticeWindow(const os::Message& message);
    void ReleaseGate(os::Window client);
    // Releases every gate whose client window no longer exists, to make room at the bound.
    void ReleaseGatesOfGoneClients();
    // Deletes a gate object whose window is gone; kept until the exchange ends when one runs.
    void DeleteGate(CGate* gate);
    bool WindowAlive();

    os::Platform* m_pPlatform;
    // Owns every gate object made by a registration until it is released or the main window goes;
    // m_mapGate and m_listGate only point at them.
    std::vector<std::unique_ptr<CGate>> m_gates;
    // Gates released while an exchange ran: deleted when it ends, since their code may be on the stack.
    std::vector<std::unique_ptr<CGate>> m_releasedGates;
    int m_nExchangeDepth = 0;
    int m_bOpening = 0;
    // Work that arrived during an exchange and runs when it ends.
    int m_bInitDeferred = 0;
    int m_bOpenDeferred = 0;
    int m_bCloseDeferred = 0;
    // The closing steps, without a question: a quiet close, or a close the operator confirmed.
    int m_bQuietCloseDeferred = 0;
    SettingsChoice m_pendingSettings;
    int m_bExchangeDonePosted = 0;
    int m_bRetryTimer = 0;
    // The close question is open: a further WM_CLOSE is answered by it.
    int m_bAskingClose = 0;
};

// Marks a printer exchange for as long as it lives. When the outermost one ends, the gates post
// their queued records' messages again, and the work that was deferred meanwhile (menu commands, a
// settings OK, a close, the deletion of released gates) is posted to the main window as
// WM_EXCHANGEDONE, so it runs from the message loop and never under the code that was waiting.
class CExchange {
public:
    explicit CExchange(CMainFrame& frame) : m_frame(frame) { ++m_frame.m_nExchangeDepth; }
    ~CExchange() {
        if (--m_frame.m_nExchangeDepth == 0) {
            m_frame.EndOfExchange();
        }
    }
    CExchange(const CExchange&) = delete;
    CExchange& operator=(const CExchange&) = delete;

private:
    CMainFrame& m_frame;
};
