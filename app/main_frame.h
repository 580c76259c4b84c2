#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/diag_log.h"
#include "app/settings.h"
#include "comm/comm.h"
#include "gate/gate_host.h"
#include "gate/request.h"
#include "lodevar_version.h"
#include "os/platform.h"
#include "res/resource.h"

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
// client gates and the MSR wait, and hosts the gates: they reach it only as IGateHost. Its logic is
// plain C++ behind the platform seam; the platform calls OnMessage for every window message.
class CMainFrame : public os::IWindowProc, public IGateHost {
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
    // The retry timer's tick: runs the deferred work and one queued record of each gate that has
    // no message on its way.
    void OnRetryTimer();

    // ---- settings (read from the file at start, changed by the dialog and a successful open) ----
    const Settings& CurrentSettings() const { return m_settings; }
    void LoadSettings();
    bool MonitorEnabled();
    void StartMonitor();
    void OnTrayConfig();
    std::string SettingsPath() const;

    // ---- device connection ------------------------------------------------------------------
    int OpenPrinter(int unused);
    void OnInitPrinter();
    void NotifyPrintEnd(int status);

    // ---- the gates' host (gate/gate_host.h) --------------------------------------------------
    os::Platform& Platform() override { return *m_pPlatform; }
    os::Window Window() const override { return m_hWnd; }
    int AddGate(CGate* gate) override;
    int RemoveGate(CGate* gate) override;
    void RetryLater() override;
    int DeviceBusy() const override;
    int PRINTBANK(std::int16_t column, std::int16_t row, const char* text, std::int16_t length) override;
    int PRINTCHIT(std::int16_t column, std::int16_t row, const char* text, std::int16_t length) override;
    int PAPERIN(int kind) override;
    int PAPEROUT() override;
    int MSRREAD(char* buffer, int capacity) override;
    int MSRWRITE(const char* data, int length) override;
    int SETPITCH(int cpi, int lpi) override;
    int SETENLARGEFONT() override;
    int SETNORMAFONT() override;
    int SETMYOUNGJOFONT() override;
    int SETGODICFONT() override;
    int GETLASTERROR(char* buffer, int size) override;
    int StartMsrAdvise(CGate* gate) override;
    int StopMsrAdvise(CGate* gate) override;
    int ResetPrinter() override;
    int PrinterFont() const override { return m_nPrinterFont; }
    void SetPrinterFont(int font) override { m_nPrinterFont = font; }

    // ---- device operations no gate runs -------------------------------------------------------
    int GETSTATUS();
    int SETCOL(int column);
    int SETROW(int row);
    int SETBLACKCOLOR();
    int SETREDCOLOR();
    int StatusName(int code);

    // ---- gates --------------------------------------------------------------------------------
    void RemoveAllGates();
    void DestroyAllGates();
    // The live gates, and the clients registered (a client's gate by the low 16 bits of its window).
    std::size_t GateCount() const { return m_listGate.size(); }
    std::size_t RegisteredClients() const { return m_mapGate.size(); }
    // The gate registered for `client`, or nullptr.
    CGate* GateOfClient(os::Window client) const;

    // ---- state -------------------------------------------------------------------------------
    CComm& Comm() { return m_comm; }
    // The status text of the last open or failure.
    const std::string& StatusText() const { return m_strStatus; }
    const std::string& HomeDir() const { return m_strHomeDir; }
    // The window that gets the end-of-print notices: the one the newest registration named.
    os::Window PrintEndWindow() const { return m_hClientWnd; }
    // Whether a request opens a closed device (1 until an open succeeds or the operator answers no).
    int AutoReopen() const { return m_bAutoReopen; }
    void SetAutoReopen(int reopen) { m_bAutoReopen = reopen; }
    // A gate waits for stripe data (MsrGate()), polled by timer 1.
    int MsrWaiting() const { return m_bMsrWait; }
    CGate* MsrGate() const { return m_pMsrGate; }
    // The first line of the tray tip.
    void SetTip(const std::string& tip) { m_strTip = tip; }

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

private:
    friend class CExchange;

    Settings m_settings;
    os::Window m_hClientWnd = 0;
    // "Banking Printer Driver V1.0": the major and minor version of the one version source.
    std::string m_strTip = "Banking Printer Driver V" LODEVAR_VERSION_SHORT;
    std::string m_strHomeDir;
    std::vector<CGate*> m_listGate;
    int m_bAutoReopen = 1;
    int m_bMsrWait = 0;
    CComm m_comm;
    std::string m_strStatus;
    CGate* m_pMsrGate = nullptr;
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

    void ClosingSteps();
    void OnCloseAnswer(bool yes);
    void OnSettingsAnswer(const os::OperatorAnswer& answer);
    void EndOfExchange();
    void PostExchangeDone();
    void RunDeferredWork();
    // Has every gate with queued records and no message on its way post one.
    void PostGateRequests();
    // Steps the device operations share (device/device_operations.cpp).
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
    void ApplySettingsAndOpen(const Settings& choice);
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
    // What an OK of the settings dialog chose during an exchange.
    Settings m_pendingSettings;
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
