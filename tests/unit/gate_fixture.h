#pragma once

#include <string>

#include "app_fixture.h"
#include "tests/fake_printer_library/fake_printer_native.h"

// The initialise command of family 0, and the reset the library family gets.
inline const std::string kInitialise = "\0330";

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
