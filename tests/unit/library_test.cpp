// Family 2: the printer maker's library found beside the program, bound by name, and every call
// site of the link that drives it, against the in-process fake library.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "comm/comm.h"
#include "cp949.h"
#include "device/texts.h"
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

int BoundSlots(const CComm& comm) {
    int bound = 0;
#define LODEVAR_COUNT_SLOT(name, type) bound += comm.m_p##name != nullptr ? 1 : 0;
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_COUNT_SLOT)
#undef LODEVAR_COUNT_SLOT
    return bound;
}

}  // namespace

// A link set to family 2 in a program installed as C:\Bank\Lodevar\lodevar.exe, with the fake
// library's behaviour in `library`. Nothing is registered with the loader until a test says so.
class LibraryTest : public ::testing::Test {
protected:
    LibraryTest() {
        sim.module.m_strFileName = "C:\\Bank\\Lodevar\\lodevar.exe";
        fake::Install(&library);
        library.SetTimeSource([this] { return sim.clock.Ticks(); });
        comm.m_nFamily = 2;
    }
    ~LibraryTest() override {
        EXPECT_EQ(sim.serial.Count().open + sim.serial.Count().write, 0);  // family 2 never uses a port
        fake::Install(nullptr);
    }
    void Provide(const char* omit = nullptr) { fake::Register(sim.library, kLibraryPath, omit); }
    void Bind() {
        Provide();
        ASSERT_EQ(comm.LoadPrinterLibrary(), 1);
        library.ClearCalls();
    }

    sim::CSimPlatform sim;
    fake::CFakePrinterLibrary library;
    CComm comm{sim.Platform()};
};

// ---- binding and bringing the device up -------------------------------------------------------

TEST_F(LibraryTest, LoadsTheFullPathBesideTheProgramAndBindsEveryNameInOrder) {
    Provide();
    EXPECT_EQ(comm.LoadPrinterLibrary(), 1);
    EXPECT_EQ(sim.library.LoadAttempts(), Calls{kLibraryPath});
    EXPECT_EQ(sim.library.Lookups(), kExportOrder);
    EXPECT_EQ(comm.m_bLibLoaded, 1);
#define LODEVAR_EXPECT_SLOT(name, type) EXPECT_EQ(comm.m_p##name, fake::native::name) << #name;
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_EXPECT_SLOT)
#undef LODEVAR_EXPECT_SLOT
    EXPECT_TRUE(library.Calls().empty());  // binding calls nothing
    EXPECT_TRUE(sim.desktop.Boxes().empty());
}

TEST(LibraryBinding, TheFirstMissingNameEndsTheLookupsAndFreesTheLibraryWithoutAWord) {
    for (std::size_t missing : {0u, 5u, 17u}) {
        SCOPED_TRACE(kExportOrder[missing]);
        sim::CSimPlatform sim;
        CComm comm(sim.Platform());
        fake::Register(sim.library, "C:\\Lodevar\\VSK_ALL.dll", kExportOrder[missing].c_str());
        EXPECT_EQ(comm.LoadPrinterLibrary(), 0);
        EXPECT_EQ(sim.library.Lookups(), Calls(kExportOrder.begin(), kExportOrder.begin() + missing + 1));
        EXPECT_EQ(sim.library.Frees(), 1);
        EXPECT_EQ(sim.library.Loaded(), 0);
        EXPECT_EQ(comm.m_bLibLoaded, 0);
        EXPECT_EQ(BoundSlots(comm), 0);
        EXPECT_TRUE(sim.desktop.Boxes().empty());
    }
}

TEST_F(LibraryTest, AMissingFileShowsTheLibraryBoxAndOnlyTheProgramsFolderIsTried) {
    fake::Register(sim.library, "VSK_ALL.dll");
    fake::Register(sim.library, "C:\\Lodevar\\VSK_ALL.dll");
    EXPECT_EQ(comm.LoadPrinterLibrary(), 0);
    EXPECT_EQ(sim.library.LoadAttempts(), Calls{kLibraryPath});
    EXPECT_TRUE(sim.library.Lookups().empty());
    EXPECT_EQ(comm.m_bLibLoaded, 0);
    ASSERT_EQ(sim.desktop.Boxes().size(), 1u);
    EXPECT_EQ(sim.desktop.Boxes()[0].caption, Cp949("통장인쇄기 오류!!"));
    EXPECT_EQ(sim.desktop.Boxes()[0].text, text::kLibraryMissing);
}

TEST_F(LibraryTest, AFolderTooLongForThePathIsNeverLoadedCut) {
    // 248 characters of folder: with "\VSK_ALL.dll" the path needs 260 bytes and its terminator.
    std::string folder = "C:\\" + std::string(245, 'd');
    sim.module.m_strFileName = folder + "\\lodevar.exe";
    Provide();  // at the usual place: a cut path must not reach it or anything else
    EXPECT_EQ(comm.LoadPrinterLibrary(), 0);
    EXPECT_TRUE(sim.library.LoadAttempts().empty());
    EXPECT_EQ(sim.desktop.Boxes().size(), 1u);

    folder.pop_back();  // one character less fits exactly
    sim.module.m_strFileName = folder + "\\lodevar.exe";
    fake::Register(sim.library, folder + "\\VSK_ALL.dll");
    EXPECT_EQ(comm.LoadPrinterLibrary(), 1);
    EXPECT_EQ(sim.library.LoadAttempts(), Calls{folder + "\\VSK_ALL.dll"});
}

TEST_F(LibraryTest, TheDestructorFreesALoadedLibraryAndOnlyThat) {
    Provide();
    {
        CComm other{sim.Platform()};
        ASSERT_EQ(other.LoadPrinterLibrary(), 1);
        CComm unbound{sim.Platform()};
    }
    EXPECT_EQ(sim.library.Frees(), 1);
    EXPECT_EQ(sim.library.Loaded(), 0);
}

TEST_F(LibraryTest, AnOpenLoadsOnceNamesCom2OnlyForPortTwoThenInitialisesAndAsksForPower) {
    Provide();
    for (int port : {2, 0, 1, 3, 4, 5}) {
        SCOPED_TRACE(int(port));
        library.ClearCalls();
        EXPECT_EQ(comm.OpenDevice(static_cast<std::uint8_t>(port), 9600, 8, 0, 0), 1);
        Calls expected{kInitialise, "PrtIsPowerOn()"};
        if (port == 2) {
            expected.insert(expected.begin(), "SetPrtPortID(\"COM2\")");
        }
        EXPECT_EQ(library.Calls(), expected);
    }
    EXPECT_EQ(sim.library.LoadAttempts().size(), 1u);
    EXPECT_TRUE(sim.desktop.Boxes().empty());
}

TEST_F(LibraryTest, PowerOffShowsThePowerBoxAndTheNextOpenNeedsOnlyThePower) {
    Provide();
    for (int answer : {0, 2, -1}) {
        SCOPED_TRACE(answer);
        library.SetPowerAnswer(answer);
        EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 0);
        EXPECT_EQ(sim.desktop.Boxes().back().text, text::kPowerOff);
        EXPECT_EQ(sim.desktop.Boxes().back().caption, text::kPrinterErrorCaption);
    }
    EXPECT_EQ(sim.desktop.Boxes().size(), 3u);
    library.SetPowerAnswer(1);
    EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 1);
    EXPECT_EQ(sim.library.LoadAttempts().size(), 1u);
}

TEST_F(LibraryTest, AMissingFileFailsEveryOpenWithItsBoxUntilTheFileIsThere) {
    EXPECT_EQ(comm.OpenDevice(2, 9600, 8, 0, 0), 0);
    EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 0);
    ASSERT_EQ(sim.desktop.Boxes().size(), 2u);
    EXPECT_EQ(sim.desktop.Boxes()[1].text, text::kLibraryMissing);
    EXPECT_TRUE(library.Calls().empty());
    Provide();
    EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 1);
    EXPECT_EQ(sim.library.LoadAttempts(), Calls(3, kLibraryPath));
}

// ---- paper, initialise, printing --------------------------------------------------------------

TEST_F(LibraryTest, PaperInCallsAfterAPauseUntilOneOrSixteenAndNineIsFailure) {
    Bind();
    struct Case {
        std::vector<int> answers;  // each ends in 9: a loop that misses its answer ends instead of hanging
        int kind;
        int result;
        std::size_t calls;
    } cases[] = {
        {{3, 3, 1, 9}, 0, 1, 3}, {{0, 16, 9}, 0, 1, 2},
        {{9, 1}, 0, 0, 1},       {{0, 2, 3, 8, 10, 15, 17, 65, 66, 242, -1, 1, 9}, 0, 1, 12},
        {{1, 9}, 1, 1, 1},  // the paper kind is not passed on
        {{1, 9}, 2, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calls);
        library.ClearCalls();
        library.SetOpenAnswers(c.answers);
        const std::uint32_t start = sim.clock.Ticks();
        EXPECT_EQ(comm.PaperIn(c.kind), c.result);
        ASSERT_EQ(library.Calls(), Calls(c.calls, kOpenPbpr));
        for (std::size_t i = 0; i < c.calls; ++i) {
            EXPECT_EQ(library.CallTimes()[i], start + 200 * (i + 1));  // 200 ms before each call
        }
        EXPECT_EQ(sim.clock.Ticks(), start + 200 * c.calls);  // nothing after the last call
    }
}

TEST_F(LibraryTest, PaperOutExpelsAndInitialiseSendsTheCommandThenWaitsAndHasNoStatus) {
    Bind();
    EXPECT_EQ(comm.PaperOut(), 1);
    const std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ(comm.InitPrinter(), 242);
    EXPECT_EQ(library.Calls(), (Calls{"ExpelPaper()", kInitialise}));
    EXPECT_EQ(library.CallTimes()[1], start);
    EXPECT_EQ(sim.clock.Sleeps(), std::vector<std::uint32_t>{500});
}

TEST_F(LibraryTest, PrintingAndTheSettersSendNothing) {
    Bind();
    library.SetOpenAnswers({1, 1, 9});
    EXPECT_EQ(comm.PrintPassbook("12,345"), 1);
    EXPECT_EQ(comm.PrintChit("12,345"), -1);
    comm.SetPosition(10, 3);
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetPitch(12, 5);
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    comm.SetFontFace(0);
    comm.SendClear();
    comm.SelectPassbook();
    comm.SelectChit();
    EXPECT_TRUE(library.Calls().empty());
    EXPECT_TRUE(sim.clock.Sleeps().empty());
    EXPECT_EQ(comm.m_nFamily, 2);
    // The positioned forms still take the paper in first.
    EXPECT_EQ(comm.PrintPassbookAt(10, 3, "x"), 1);
    EXPECT_EQ(comm.PrintChitAt(10, 3, "x"), -1);
    EXPECT_EQ(library.Calls(), Calls(2, kOpenPbpr));
}

// ---- the magnetic stripe ----------------------------------------------------------------------

// MsrRead and MsrPoll drive the library alike; every case runs through both.
class LibraryMsrTest : public LibraryTest {
protected:
    void SetUp() override { Bind(); }
    using Read = std::function<int(char*, int)>;
    std::vector<std::pair<const char*, Read>> Reads() {
        return {{"MsrRead", [this](char* b, int n) { return comm.MsrRead(b, n); }},
                {"MsrPoll", [this](char* b, int n) { return comm.MsrPoll(b, n); }}};
    }
};

TEST_F(LibraryMsrTest, TheFirstCharacterIsDroppedAndTheRestCutToTheCallersCapacity) {
    struct Case {
        std::string stripe;
        int capacity;
        std::string expected;
    } cases[] = {
        {":123", 64, "123"},
        {"ABCDE", 64, "BCDE"},
        {":1234567890", 5, "1234"},
        {":12345", 5, "1234"},
        {":1234", 5, "1234"},
        {":123", 5, "123"},
        {":12", 1, ""},
        {":" + std::string(600, '7'), 1024, std::string(510, '7')},  // 512 bytes without a terminator: cut
    };
    for (auto& [name, read] : Reads()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(name) + " " + c.stripe.substr(0, 12) + " " + std::to_string(c.capacity));
            library.ClearCalls();
            comm.m_strError = "before";
            library.SetStripe(c.stripe);
            std::vector<char> buffer(static_cast<std::size_t>(c.capacity) + 8, '#');
            EXPECT_EQ(read(buffer.data(), c.capacity), 1);
            EXPECT_EQ(std::string(buffer.data()), c.expected);
            EXPECT_EQ(std::string(buffer.begin() + c.expected.size() + 1, buffer.end()),
                      std::string(buffer.size() - c.expected.size() - 1, '#'));
            EXPECT_EQ(library.Calls(), (Calls{"OpenMsrw()", "ReadMsrw()"}));
            EXPECT_TRUE(library.ReadBufferWasZeroed());  // a fresh buffer each time
            EXPECT_EQ(comm.m_strError, "before");
        }
    }
}

TEST_F(LibraryMsrTest, AReaderNotReadyAFailedReadAnEmptyTextOrNoRoomFailsWithoutWriting) {
    for (auto& [name, read] : Reads()) {
        SCOPED_TRACE(name);
        char buffer[8] = "keep";
        library.SetStripe(":123");
        for (int answer : {0, 2, 134}) {
            library.ClearCalls();
            library.SetOpenMsrAnswer(answer);
            EXPECT_EQ(read(buffer, sizeof(buffer)), 0) << answer;
            EXPECT_EQ(library.Calls(), Calls{"OpenMsrw()"});
        }
        library.SetOpenMsrAnswer(1);
        for (int answer : {0, 134}) {
            library.SetReadMsrAnswer(answer);
            EXPECT_EQ(read(buffer, sizeof(buffer)), 0) << answer;
        }
        library.SetReadMsrAnswer(1);
        EXPECT_EQ(read(buffer, 0), 0);
        library.SetStripe("");
        EXPECT_EQ(read(buffer, sizeof(buffer)), 0);
        EXPECT_STREQ(buffer, "keep");
    }
}

TEST_F(LibraryMsrTest, WriteSendsAColonAndTheDataCutAt511BytesAndItsAnswerNamesTheText) {
    struct Case {
        std::string data;
        int answer;
        int result;
        std::string text;  // "" keeps the text before
    } cases[] = {
        {"DATA", 65, 1, Cp949("통장이 들어와 있음")},
        {"", 65, 1, Cp949("통장이 들어와 있음")},
        {std::string(700, 'w'), 65, 1, Cp949("통장이 들어와 있음")},
        {"DATA", 113, 113, "MS READ/WRITE ERROR"},
        {"DATA", 27, 27, Cp949("취소키를 입력하였음")},
        {"DATA", 1, 1, ""},
        {"DATA", 0, 0, ""},
        {"DATA", 67, 67, ""},
        {"DATA", 300, 300, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        library.ClearCalls();
        library.SetWriteAnswer(c.answer);
        comm.m_strError = "before";
        EXPECT_EQ(comm.MsrWrite(c.data.c_str()), c.result);
        EXPECT_EQ(library.Calls(), Calls{"WriteMsrw(\":" + c.data.substr(0, 510) + "\")"});
        EXPECT_EQ(comm.m_strError, c.text.empty() ? "before" : c.text);
    }
}

// ---- a library that is not bound --------------------------------------------------------------

// Every call site, once with the library never loaded and once after a binding that failed.
class LibraryUnboundTest : public LibraryTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            Provide("FilePrinting");
            ASSERT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 0);  // silently: no box
            EXPECT_TRUE(sim.desktop.Boxes().empty());
            EXPECT_EQ(sim.library.Loaded(), 0);
        }
        comm.m_strError = "before";
    }
};

TEST_P(LibraryUnboundTest, EveryCallSiteFailsOrSkips) {
    char buffer[16] = "keep";
    EXPECT_EQ(comm.PaperIn(0), 0);
    EXPECT_TRUE(sim.clock.Sleeps().empty());  // no pause before a call that cannot be made
    EXPECT_EQ(comm.MsrRead(buffer, sizeof(buffer)), 0);
    EXPECT_EQ(comm.MsrPoll(buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(comm.MsrWrite("DATA"), 0);
    EXPECT_EQ(comm.m_strError, "before");
    EXPECT_EQ(comm.PaperOut(), 1);
    EXPECT_EQ(comm.InitPrinter(), 242);
    EXPECT_EQ(sim.clock.Sleeps(), std::vector<std::uint32_t>{500});
    EXPECT_TRUE(library.Calls().empty());
    EXPECT_EQ(comm.m_nFamily, 2);  // no probe
}

INSTANTIATE_TEST_SUITE_P(NeverLoadedOrIncomplete, LibraryUnboundTest, ::testing::Bool());
