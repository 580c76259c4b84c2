// Family 2: the printer maker's library beside the program, against the in-process fake library.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "comm/comm.h"
#include "cp949.h"
#include "os/sim/sim_platform.h"
#include "tests/fake_printer_library/fake_printer_native.h"

namespace {

const std::string kLibraryPath = "C:\\Bank\\Lodevar\\VSK_ALL.dll";
// The export names in the order the driver must look them up, spelt out here.
const std::vector<std::string> kExportOrder = {
    "OpenPbpr",     "WriteCommand", "WriteOnlineCommand", "PrintPbprData", "OpenMsrw",       "ReadMsrw",
    "WriteMsrw",    "ExpelPaper",   "SetPrtPortID",       "GetPrtPortID",  "InitPrinterEnv", "CheckPrtSelfID",
    "PrtIsPowerOn", "OpenComm",     "PrinterInit",        "CloseComm",     "EjectPaper",     "FilePrinting",
};
const std::string kInitialise = "WriteCommand(\"\\x1b0\")";
const std::string kOpenPbpr = "OpenPbpr(12,5,1,160)";
using Calls = std::vector<std::string>;
using Sleeps = std::vector<std::uint32_t>;

}  // namespace

// A family 2 link in C:\Bank\Lodevar\lodevar.exe; nothing is registered with the loader unasked.
class LibraryTest : public ::testing::Test {
protected:
    LibraryTest() {
        sim.module.m_strFileName = "C:\\Bank\\Lodevar\\lodevar.exe";
        fake::Install(&library);
        comm.m_nFamily = 2;
    }
    ~LibraryTest() override {
        EXPECT_EQ(sim.serial.Count().open + sim.serial.Count().write, 0);  // family 2 never uses a port
        fake::Install(nullptr);
    }
    void Provide(const char* omit = nullptr) { fake::Register(sim.library, kLibraryPath, omit); }
    long CallsOf(const std::string& line) {
        return std::count(library.calls.begin(), library.calls.end(), line);
    }
    void Bind() {
        Provide();
        ASSERT_EQ(comm.LoadPrinterLibrary(), 1);
    }

    sim::CSimPlatform sim;
    fake::CFakePrinterLibrary library;
    CComm comm{sim.Platform()};
};

// Bound in table order until the first missing name, which frees the library without a word.
TEST(LibraryBinding, LoadsTheFileBesideTheProgramBindsEveryNameInOrderAndFreesItOnce) {
    for (std::size_t missing : {0u, 5u, 17u, 18u}) {
        SCOPED_TRACE(missing);
        sim::CSimPlatform sim;
        fake::CFakePrinterLibrary library;
        fake::Install(&library);
        const bool complete = missing == kExportOrder.size();
        fake::Register(sim.library, "C:\\Lodevar\\VSK_ALL.dll",
                       complete ? nullptr : kExportOrder[missing].c_str());
        {
            CComm comm(sim.Platform());
            EXPECT_EQ((std::tuple{comm.LoadPrinterLibrary(), sim.library.LoadAttempts()}),
                      std::tuple(complete ? 1 : 0, Calls{"C:\\Lodevar\\VSK_ALL.dll"}));
            EXPECT_EQ(sim.library.Lookups(),
                      Calls(kExportOrder.begin(),
                            kExportOrder.begin() + std::min(missing + 1, kExportOrder.size())));
            std::size_t bound = 0;
#define LODEVAR_COUNT_SLOT(name, type) \
    bound += reinterpret_cast<os::Proc>(comm.m_p##name) == fake::Exports().at(#name) ? 1 : 0;
            LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_COUNT_SLOT)
#undef LODEVAR_COUNT_SLOT
            EXPECT_EQ(std::tuple(bound, comm.m_bLibLoaded),
                      std::tuple(complete ? kExportOrder.size() : 0u, complete ? 1 : 0));
        }
        EXPECT_EQ(std::tuple(sim.library.Frees(), sim.library.Loaded()), std::tuple(1, 0));
        EXPECT_TRUE(library.calls.empty() && sim.desktop.Boxes().empty());  // binding calls nothing
        fake::Install(nullptr);
    }
}

TEST_F(LibraryTest, AFolderTooLongForThePathIsNeverLoadedCut) {
    // 248 characters of folder: with "\VSK_ALL.dll" the path needs 260 bytes and its terminator.
    std::string folder = "C:\\" + std::string(245, 'd');
    sim.module.m_strFileName = folder + "\\lodevar.exe";
    Provide();  // at the usual place: a cut path must not reach it or anything else
    EXPECT_EQ((std::tuple{comm.LoadPrinterLibrary(), sim.library.LoadAttempts().size(),
                          sim.desktop.Boxes().size()}),
              std::tuple(0, 0u, 1u));

    folder.pop_back();  // one character less fits exactly
    sim.module.m_strFileName = folder + "\\lodevar.exe";
    fake::Register(sim.library, folder + "\\VSK_ALL.dll");
    EXPECT_EQ(comm.LoadPrinterLibrary(), 1);
}

TEST_F(LibraryTest, AnOpenLoadsOnceNamesOnlyPortTwoAndAnyPowerAnswerButOneFails) {
    // No library file: its box, every time.
    EXPECT_EQ((std::tuple{comm.OpenDevice(2, 9600, 8, 0, 0), comm.OpenDevice(1, 9600, 8, 0, 0),
                          sim.desktop.Boxes().size()}),
              std::tuple(0, 0, 2u));
    Provide();
    // Port 2 is named to the library, any other is not.
    EXPECT_EQ(
        (std::tuple{comm.OpenDevice(2, 9600, 8, 0, 0), comm.OpenDevice(3, 9600, 8, 0, 0), library.calls}),
        std::tuple(
            1, 1,
            Calls{"SetPrtPortID(\"COM2\")", kInitialise, "PrtIsPowerOn()", kInitialise, "PrtIsPowerOn()"}));
    for (int answer : {2, -1}) {
        library.powerAnswer = answer;
        EXPECT_EQ((std::tuple{comm.OpenDevice(1, 9600, 8, 0, 0), sim.desktop.Boxes().back().text}),
                  std::tuple(0, Cp949("전원이 켜져있지 않거나, 케이블을 확인하시기 바랍니다.")))
            << answer;
    }
    EXPECT_EQ(std::tuple(sim.desktop.Boxes().size(), sim.library.LoadAttempts()),
              std::tuple(4u, Calls(3, kLibraryPath)));
}

TEST_F(LibraryTest, APaperInEndsOnOneSixteenOrNineAndWithoutAnAnswerAsksForThePowerEveryFiveSeconds) {
    Bind();
    for (const auto& [answers, result] :
         {std::pair(std::vector<int>{3, 16, 9}, 1), std::pair(std::vector<int>{9}, 0)}) {
        library.openAnswers = answers;
        EXPECT_EQ(comm.PaperIn(0), result) << answers.back();
    }
    library.calls.clear();
    library.openAnswers.assign(30, 3);
    library.openAnswers.push_back(1);
    // Switched on: the wait goes on through the check.
    EXPECT_EQ((std::tuple{comm.PaperIn(0), CallsOf("PrtIsPowerOn()"), comm.LinkLost()}),
              std::tuple(1, 1, false));

    library.calls.clear();
    library.openAnswers = {3};
    library.powerAnswer = 0;
    const std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ((std::tuple{comm.PaperIn(0), sim.clock.Ticks() - start, CallsOf(kOpenPbpr), comm.LinkLost()}),
              std::tuple(0, 25u * 200u, 25, true));
}

TEST_F(LibraryTest, InitialiseSendsItsCommandAndPausesWithoutAStatusAndAChitIsNeverPrinted) {
    Bind();
    EXPECT_EQ((std::tuple{comm.InitPrinter(), Sleeps(sim.clock.Sleeps()), comm.PrintChit("12,345"),
                          comm.PrintChitAt(10, 3, "x"), library.calls}),
              std::tuple(242, Sleeps{500}, -1, -1, Calls{kInitialise, kOpenPbpr}));
}

// MsrRead and MsrPoll drive the library alike; every case runs through both.
TEST_F(LibraryTest, AStripeReadDropsTheFirstCharacterAndCutsTheRestToTheCapacityOrFailsWithoutWriting) {
    Bind();
    struct Case {
        int openAnswer;
        int readAnswer;
        std::string stripe;
        int capacity;
        std::string expected;  // "-": the read fails
    } cases[] = {{1, 1, ":123", 64, "123"},
                 {1, 1, "ABCDE", 64, "BCDE"},
                 {1, 1, ":1234567890", 5, "1234"},
                 {1, 1, ":1234", 5, "1234"},
                 {1, 1, ":12", 1, ""},
                 {0, 1, ":123", 8, "-"},
                 {134, 1, ":123", 8, "-"},
                 {1, 0, ":123", 8, "-"},
                 {1, 1, ":123", 0, "-"},
                 {1, 1, "", 8, "-"},
                 {1, 1, ":" + std::string(600, '7'), 1024, std::string(510, '7')}};  // 512 unended bytes: cut
    for (bool poll : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << "row " << &c - cases << (poll ? " by MsrPoll" : " by MsrRead"));
            library.calls.clear();
            comm.m_strError = "before";
            std::tie(library.openMsrAnswer, library.readMsrAnswer, library.stripe) =
                std::tie(c.openAnswer, c.readAnswer, c.stripe);
            std::string buffer(static_cast<std::size_t>(c.capacity) + 8, '#');
            const bool fails = c.expected == "-";
            std::string after = fails ? "" : c.expected + '\0';  // and nothing past it
            after.resize(buffer.size(), '#');
            EXPECT_EQ((std::tuple{poll ? comm.MsrPoll(buffer.data(), c.capacity)
                                       : comm.MsrRead(buffer.data(), c.capacity),
                                  buffer, library.calls, comm.m_strError}),
                      std::tuple(fails ? 0 : 1, after,
                                 c.openAnswer == 1 ? Calls{"OpenMsrw()", "ReadMsrw()"} : Calls{"OpenMsrw()"},
                                 "before"));
            EXPECT_TRUE(c.openAnswer != 1 || library.readBufferZeroed);  // a fresh buffer each time
        }
    }
}

TEST_F(LibraryTest, AStripeWriteSendsAColonAndTheDataCutAt511BytesAndItsAnswerNamesTheText) {
    Bind();
    const std::string written = Cp949("통장이 들어와 있음");
    struct Case {
        std::string data;
        int answer;
        std::string text;  // "" keeps the text before
    } cases[] = {{"", 65, written},
                 {std::string(700, 'w'), 65, written},
                 {"DATA", 27, Cp949("취소키를 입력하였음")},
                 {"DATA", 1, ""},
                 {"DATA", 67, ""},
                 {"DATA", 300, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        library.calls.clear();
        library.writeAnswer = c.answer;
        comm.m_strError = "before";
        EXPECT_EQ(
            (std::tuple{comm.MsrWrite(c.data.c_str()), library.calls, comm.m_strError}),
            std::tuple(c.answer == 65 ? 1 : c.answer, Calls{"WriteMsrw(\":" + c.data.substr(0, 510) + "\")"},
                       c.text.empty() ? "before" : c.text));
    }
}

TEST_F(LibraryTest, WithoutABoundLibraryEveryCallSiteFailsOrSkips) {
    for (bool incomplete : {false, true}) {
        SCOPED_TRACE(incomplete);
        if (incomplete) {
            Provide("FilePrinting");
            ASSERT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 0);  // silently: no box
            EXPECT_EQ(std::tuple(sim.desktop.Boxes().size(), sim.library.Loaded()), std::tuple(0u, 0));
        }
        comm.m_strError = "before";
        char buffer[16] = "keep";
        const Sleeps before = sim.clock.Sleeps();
        // No pause before a call that cannot be made.
        EXPECT_EQ((std::tuple{comm.PaperIn(0), sim.clock.Sleeps()}), std::tuple(0, before));
        EXPECT_EQ((std::tuple{comm.MsrRead(buffer, sizeof(buffer)), comm.MsrPoll(buffer, sizeof(buffer)),
                              std::string(buffer), comm.MsrWrite("DATA"), comm.m_strError, comm.PaperOut(),
                              comm.InitPrinter(), library.calls.size(), comm.m_nFamily}),
                  std::tuple(0, 0, "keep", 0, "before", 1, 242, 0u, 2));  // no call, no probe
    }
}
