#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "app_fixture.h"

// The initialise command of family 0, and the reset the library family gets.
inline const std::string kInitialise = std::string("\x1b") + "0";

// The printer library for the library family, as a handful of exports that record what they are
// given: reset commands, stripe writes, and a stripe that the next read returns.
struct FakeLibrary {
    static inline std::vector<std::string> commands;
    static inline std::vector<std::string> stripeWrites;
    static inline std::string stripe;

    static int Command(const char* text) { return commands.emplace_back(text), 1; }
    static int WriteStripe(const char* text) { return stripeWrites.emplace_back(text), 65; }
    static int ReadStripe(char* buffer) {
        std::string reply = "X" + stripe;  // the library's first character is not stripe data
        std::memcpy(buffer, reply.c_str(), reply.size() + 1);
        return 1;
    }
    static int Text(const char*) { return 1; }
    static int Buffer(char*) { return 1; }
    static int Plain() { return 1; }
    static int Open(int, int, int, int) { return 1; }

    static sim::CSimLibraryLoader::Exports Exports() {
        auto proc = [](auto function) { return reinterpret_cast<os::Proc>(function); };
        sim::CSimLibraryLoader::Exports exports;
        for (const char* name : {"WriteOnlineCommand", "PrintPbprData", "SetPrtPortID", "FilePrinting"}) {
            exports[name] = proc(&Text);
        }
        for (const char* name : {"OpenMsrw", "ExpelPaper", "InitPrinterEnv", "CheckPrtSelfID", "PrtIsPowerOn",
                                 "OpenComm", "PrinterInit", "CloseComm", "EjectPaper"}) {
            exports[name] = proc(&Plain);
        }
        exports["GetPrtPortID"] = proc(&Buffer);
        exports["OpenPbpr"] = proc(&Open);
        exports["WriteCommand"] = proc(&Command);
        exports["WriteMsrw"] = proc(&WriteStripe);
        exports["ReadMsrw"] = proc(&ReadStripe);
        return exports;
    }
};

// The main window with clients that send requests to their gates, and a printer on COM1 whose
// bytes since the last mark a test reads.
class GateTest : public FrameTest {
protected:
    struct Client {
        ClientWindow proc;
        os::Window window = 0;
        CGate* gate = nullptr;
    };

    void SetUp() override { sim.system.CreateNamedEvent(kWaitEventName); }

    // A family 0 printer that answers every status request with `status`, opened.
    void OpenFamilyZero(char status) {
        SetIni("MODEL", "0");
        com1.AnswerAlways(FrameA(static_cast<unsigned char>(status)), kStatusRequestA);
        Plug("COM1", com1);
        Create();
        ASSERT_EQ(frame->OpenPrinter(0), 1);
        Mark();
    }
    // The library family, opened unless `open` says otherwise.
    void OpenLibrary(bool open = true) {
        FakeLibrary::commands.clear();
        FakeLibrary::stripeWrites.clear();
        sim.library.Register("C:\\Lodevar\\VSK_ALL.dll", FakeLibrary::Exports());
        SetIni("MODEL", "2");
        Create();
        if (open) {
            ASSERT_EQ(frame->OpenPrinter(0), 1);
        }
    }
    void Mark() { m_nMark = com1.Received().size(); }
    std::string Sent() const { return com1.Received().substr(m_nMark); }

    void Join(Client& client) {
        client.gate = Register(client.proc);
        client.window = client.gate->m_hClient;
    }
    // An immediate request; its status code.
    std::intptr_t Send(const Client& client, const std::string& request) {
        return sim.windows.SendCopyData(client.gate->m_hWnd, client.window, 0, request.data(),
                                        static_cast<std::uint32_t>(request.size()));
    }
    // A queued request, padded to the 108 bytes a record takes unless `size` says otherwise.
    std::intptr_t Queue(const Client& client, std::string request, os::Window tag, std::size_t size = 108) {
        request.resize(size, '\0');
        return sim.windows.SendCopyData(client.gate->m_hWnd, client.window, tag, request.data(),
                                        static_cast<std::uint32_t>(size));
    }
    int Events() const { return sim.system.TimesSet(kWaitEventName); }

    std::size_t m_nMark = 0;
};
