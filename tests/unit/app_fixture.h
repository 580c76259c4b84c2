#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "comm_fixture.h"
#include "gate/gate.h"
#include "tests/fake_printer_library/fake_printer_native.h"

inline constexpr char kIni[] = "C:\\Lodevar\\User\\CommData.ini";
using Names = std::vector<std::string>;

// A teller application's window: keeps every copy-data block it receives.
struct ClientWindow : os::IWindowProc {
    os::MessageResult OnMessage(os::Window, const os::Message& message) override {
        if (message.id == os::kWmCopyData) {  // a block without data as an empty one
            const auto* bytes = static_cast<const char*>(message.copyData);
            received.emplace_back(bytes, bytes != nullptr ? message.copySize : 0);
        }
        return {true, 1};
    }
    std::vector<std::string> received;
};

// A simulated workstation with two serial ports for scripted printers, and the driver's main window.
struct Workstation {
    // The printers outlive the platform, which outlives whatever holds ports open on it.
    emu::CScriptedPeer com1;
    emu::CScriptedPeer com2;
    sim::CSimPlatform sim;
    std::unique_ptr<CMainFrame> frame;

    // Plugs a printer into `port`: family 0 answers every status request with "normal"; family 1
    // is silent to ESC 'j' and answers ESC 'h' with a normal status; -1 answers nothing.
    void Plug(const char* port, emu::CScriptedPeer& printer, int family = -1) {
        if (family >= 0) {
            printer.AnswerAlways(family == 0 ? FrameA('P') : AnswerB(0x01),
                                 family == 0 ? kStatusRequestA : kStatusRequestB);
        }
        sim.serial.Attach(port, &printer);
    }
    std::string Ini(const char* key) const { return sim.system.ProfileValue(kIni, "Lodevar", key); }
    void SetIni(const char* key, const char* value) {
        sim.system.SetProfileValue(kIni, "Lodevar", key, value);
    }

    void Pump(std::uint32_t ms = 0) {
        const std::uint32_t end = sim.clock.Ticks() + ms;
        for (;;) {
            if (sim.pump.DispatchOne()) {
                continue;
            }
            if (static_cast<std::int32_t>(sim.clock.Ticks() - end) >= 0) {
                return;
            }
            sim.clock.IdleUntil(end, 0);
        }
    }
    int Shown(const char* kind) const { return sim.desktop.CountShown(kind); }

    void Create() {
        sim.windows.RegisterMainClass(kMainWindowName);
        frame = std::make_unique<CMainFrame>(sim.Platform());
        ASSERT_TRUE(frame->Create());
    }
    os::Window Main() const { return frame->Window(); }
    // Registers a new client window (which gets the end-of-print notices); its gate, null if refused.
    CGate* Register(ClientWindow& client) {
        os::Window window = sim.windows.CreateClientWindow(client);
        sim.windows.SendCopyData(Main(), window, GATE_REGISTER, nullptr, static_cast<std::uint32_t>(window));
        return frame->GateOfClient(window);
    }
    bool Alive(os::Window window) { return sim.windows.IsWindow(window); }
};

class FrameTest : public ::testing::Test, public Workstation {};

// The main window with clients of its gates, and a printer on COM1 or the fake printer library.
class GateTest : public FrameTest {
protected:
    struct Client {
        ClientWindow proc;
        os::Window window = 0;
        CGate* gate = nullptr;
    };

    GateTest() { fake::Install(&library); }
    ~GateTest() override { fake::Install(nullptr); }
    void SetUp() override { sim.system.CreateNamedEvent(kWaitEventName); }

    // A printer of `family` 0 or 1 that answers every status request with `status`, opened.
    void OpenFamily(int family, const std::string& status) {
        SetIni("MODEL", family == 0 ? "0" : "1");
        com1.AnswerAlways(status, family == 0 ? kStatusRequestA : kStatusRequestB);
        Plug("COM1", com1);
        Create();
        ASSERT_EQ(frame->OpenPrinter(0), 1);
        Mark();
    }
    void OpenFamilyZero(char status) { OpenFamily(0, FrameA(static_cast<unsigned char>(status))); }
    // A family 0 printer with a passbook in, and client a.
    void Ready() {
        OpenFamilyZero('A');
        Join(a);
    }
    // The library family, opened unless `open` says otherwise; the library's log starts empty.
    void OpenLibrary(bool open = true) {
        fake::Register(sim.library, "C:\\Lodevar\\VSK_ALL.dll");
        SetIni("MODEL", "2");
        Create();
        if (open) {
            ASSERT_EQ(frame->OpenPrinter(0), 1);
        }
        library.calls.clear();
    }
    void Mark() { m_nMark = com1.Received().size(); }
    std::string Sent() const { return com1.Received().substr(m_nMark); }

    void Join(Client& client) {
        client.gate = Register(client.proc);
        client.window = client.gate->Client();
    }
    std::intptr_t Send(const Client& client, const std::string& request) {
        return sim.windows.SendCopyData(client.gate->Window(), client.window, 0, request.data(),
                                        static_cast<std::uint32_t>(request.size()));
    }
    // A queued request, padded to the 108 bytes a record takes unless `size` says otherwise.
    std::intptr_t Queue(const Client& client, std::string request, os::Window tag, std::size_t size = 108) {
        request.resize(size, '\0');
        return sim.windows.SendCopyData(client.gate->Window(), client.window, tag, request.data(),
                                        static_cast<std::uint32_t>(size));
    }
    int Events() const { return sim.system.TimesSet(kWaitEventName); }

    fake::CFakePrinterLibrary library;
    Client a;
    Client b;
    std::size_t m_nMark = 0;
};
