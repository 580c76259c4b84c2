// Family 2: the printer maker's library found beside the program, bound by name, and every call
// site of the link that drives it, against the in-process fake library.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "comm/comm.h"
#include "cp949.h"
#include "device/texts.h"
#include "os/sim/sim_platform.h"
#include "tests/fake_printer_library/fake_printer_native.h"

namespace {

const std::string kProgram = "C:\\Bank\\Lodevar\\lodevar.exe";
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

}  // namespace

// A link set to family 2 in a program installed as C:\Bank\Lodevar\lodevar.exe, with the fake
// library's behaviour in `library`. Nothing is registered with the loader until a test says so.
class LibraryTest : public ::testing::Test {
protected:
    LibraryTest() {
        sim.module.m_strFileName = kProgram;
        fake::Install(&library);
        library.SetTimeSource([this] { return sim.clock.Ticks(); });
        comm.m_nFamily = 2;
    }
    ~LibraryTest() override { fake::Install(nullptr); }

    void Provide(const char* omit = nullptr) { fake::Register(sim.library, kLibraryPath, omit); }
    // The library present and bound; the log starts empty.
    void Bind() {
        Provide();
        ASSERT_EQ(comm.LoadPrinterLibrary(), 1);
        library.ClearCalls();
    }

    int BoundSlots() const {
        int bound = 0;
#define LODEVAR_COUNT_SLOT(name, type) bound += comm.m_p##name != nullptr ? 1 : 0;
        LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_COUNT_SLOT)
#undef LODEVAR_COUNT_SLOT
        return bound;
    }
    // Nothing went to a serial port: none opened, nothing written.
    void ExpectNoSerialTraffic() {
        EXPECT_TRUE(sim.serial.OpenedNames().empty());
        EXPECT_EQ(sim.serial.Count().write, 0);
        EXPECT_EQ(sim.serial.Written(), "");
    }

    sim::CSimPlatform sim;
    fake::CFakePrinterLibrary library;
    CComm comm{sim.Platform()};
};

// ---- binding ---------------------------------------------------------------------------------

using LibraryBindingTest = LibraryTest;

TEST_F(LibraryBindingTest, LoadsTheFullPathBesideTheProgramAndBindsEveryNameInOrder) {
    Provide();
    EXPECT_EQ(comm.LoadPrinterLibrary(), 1);
    EXPECT_EQ(sim.library.LoadAttempts(), Calls{kLibraryPath});
    EXPECT_EQ(sim.library.Lookups(), kExportOrder);
    EXPECT_EQ(comm.m_bLibLoaded, 1);
    EXPECT_NE(comm.m_hPrinterLib, 0u);
    // Each slot holds the export of its own name.
#define LODEVAR_EXPECT_SLOT(name, type) EXPECT_EQ(comm.m_p##name, fake::native::name) << #name;
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_EXPECT_SLOT)
#undef LODEVAR_EXPECT_SLOT
    EXPECT_TRUE(library.Calls().empty());  // binding calls nothing
    EXPECT_TRUE(sim.desktop.Boxes().empty());
}

TEST_F(LibraryBindingTest, ALibraryLackingOnlyTheLastNameIsFreedWithoutAWord) {
    Provide("FilePrinting");
    EXPECT_EQ(comm.LoadPrinterLibrary(), 0);
    EXPECT_EQ(sim.library.Lookups(), kExportOrder);
    EXPECT_EQ(sim.library.Frees(), 1);
    EXPECT_EQ(sim.library.Loaded(), 0);
    EXPECT_EQ(comm.m_bLibLoaded, 0);
    EXPECT_EQ(comm.m_hPrinterLib, 0u);
    EXPECT_EQ(BoundSlots(), 0);
    EXPECT_TRUE(sim.desktop.Boxes().empty());
}

TEST_F(LibraryBindingTest, TheFirstMissingNameEndsTheLookups) {
    Provide("ReadMsrw");
    EXPECT_EQ(comm.LoadPrinterLibrary(), 0);
    EXPECT_EQ(sim.library.Lookups(), Calls(kExportOrder.begin(), kExportOrder.begin() + 6));
    EXPECT_EQ(BoundSlots(), 0);
    EXPECT_EQ(sim.library.Frees(), 1);
}

TEST_F(LibraryBindingTest, AMissingFileShowsTheTwoLineBoxAndLooksNothingUp) {
    // A library elsewhere does not count: only the program's own folder is tried.
    fake::Register(sim.library, "VSK_ALL.dll");
    fake::Register(sim.library, "C:\\Lodevar\\VSK_ALL.dll");
    EXPECT_EQ(comm.LoadPrinterLibrary(), 0);
    EXPECT_EQ(sim.library.LoadAttempts(), Calls{kLibraryPath});
    EXPECT_TRUE(sim.library.Lookups().empty());
    EXPECT_EQ(sim.library.Frees(), 0);
    EXPECT_EQ(comm.m_bLibLoaded, 0);
    EXPECT_EQ(comm.m_hPrinterLib, 0u);
    ASSERT_EQ(sim.desktop.Boxes().size(), 1u);
    const sim::CSimDesktop::Shown box = sim.desktop.Boxes()[0];
    EXPECT_EQ(box.caption, Cp949("통장인쇄기 오류!!"));
    EXPECT_EQ(box.caption, text::kPrinterErrorCaption);
    EXPECT_EQ(box.text, text::kLibraryMissing);
    std::size_t newline = box.text.find('\n');
    ASSERT_NE(newline, std::string::npos);
    EXPECT_GT(newline, 0u);
    EXPECT_EQ(box.text.find('\n', newline + 1), std::string::npos);  // exactly two lines
    EXPECT_GT(box.text.size(), newline + 1);
}

TEST_F(LibraryBindingTest, AFolderTooLongForThePathIsNeverLoadedCut) {
    // 248 characters of folder: with "\VSK_ALL.dll" the path needs 260 bytes and its terminator.
    std::string folder = "C:\\" + std::string(245, 'd');
    sim.module.m_strFileName = folder + "\\lodevar.exe";
    Provide();  // at the usual place: a cut path must not reach it or anything else
    EXPECT_EQ(comm.LoadPrinterLibrary(), 0);
    EXPECT_TRUE(sim.library.LoadAttempts().empty());
    EXPECT_EQ(sim.desktop.Boxes().size(), 1u);

    // One character less fits exactly.
    folder.pop_back();
    sim.module.m_strFileName = folder + "\\lodevar.exe";
    fake::Register(sim.library, folder + "\\VSK_ALL.dll");
    EXPECT_EQ(comm.LoadPrinterLibrary(), 1);
    EXPECT_EQ(sim.library.LoadAttempts(), Calls{folder + "\\VSK_ALL.dll"});
}

TEST_F(LibraryBindingTest, TheDestructorFreesALoadedLibraryAndOnlyThat) {
    Provide();
    {
        CComm other{sim.Platform()};
        other.m_nFamily = 2;
        ASSERT_EQ(other.LoadPrinterLibrary(), 1);
        EXPECT_EQ(sim.library.Loaded(), 1);
    }
    EXPECT_EQ(sim.library.Frees(), 1);
    EXPECT_EQ(sim.library.Loaded(), 0);
    { CComm unbound{sim.Platform()}; }
    EXPECT_EQ(sim.library.Frees(), 1);
}

// ---- bringing the device up ------------------------------------------------------------------

using LibraryOpenTest = LibraryTest;

TEST_F(LibraryOpenTest, PortTwoNamesCom2ThenInitialisesAndAsksForPower) {
    Provide();
    EXPECT_EQ(comm.OpenDevice(2, 9600, 8, 0, 0), 1);
    EXPECT_EQ(library.Calls(), (Calls{"SetPrtPortID(\"COM2\")", kInitialise, "PrtIsPowerOn()"}));
    EXPECT_TRUE(sim.desktop.Boxes().empty());
    EXPECT_EQ(comm.m_bConnected, 0);
    ExpectNoSerialTraffic();
}

TEST_F(LibraryOpenTest, OtherPortsLeaveTheLibrarysPortAlone) {
    Bind();
    for (std::uint8_t port :
         {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{3}, std::uint8_t{4}, std::uint8_t{5}}) {
        SCOPED_TRACE(int(port));
        library.ClearCalls();
        EXPECT_EQ(comm.OpenDevice(port, 9600, 8, 0, 0), 1);
        EXPECT_EQ(library.Calls(), (Calls{kInitialise, "PrtIsPowerOn()"}));
    }
    ExpectNoSerialTraffic();
}

TEST_F(LibraryOpenTest, ABoundLibraryIsNotLoadedAgain) {
    Provide();
    ASSERT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 1);
    ASSERT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 1);
    EXPECT_EQ(sim.library.LoadAttempts().size(), 1u);
    EXPECT_EQ(sim.library.Loaded(), 1);
}

TEST_F(LibraryOpenTest, PowerOffShowsThePowerBoxAndFails) {
    Provide();
    for (int answer : {0, 2, -1}) {
        SCOPED_TRACE(answer);
        library.SetPowerAnswer(answer);
        std::size_t boxes = sim.desktop.Boxes().size();
        EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 0);
        ASSERT_EQ(sim.desktop.Boxes().size(), boxes + 1);
        EXPECT_EQ(sim.desktop.Boxes().back().text,
                  Cp949("전원이 켜져있지 않거나, 케이블을 확인하시기 바랍니다."));
        EXPECT_EQ(sim.desktop.Boxes().back().text, text::kPowerOff);
        EXPECT_EQ(sim.desktop.Boxes().back().caption, text::kPrinterErrorCaption);
    }
    // The library stays bound: switching the printer on is enough for the next open.
    library.SetPowerAnswer(1);
    EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 1);
    EXPECT_EQ(sim.library.LoadAttempts().size(), 1u);
    ExpectNoSerialTraffic();
}

TEST_F(LibraryOpenTest, AMissingFileFailsEveryOpenWithItsBoxUntilTheFileIsThere) {
    EXPECT_EQ(comm.OpenDevice(2, 9600, 8, 0, 0), 0);
    EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 0);
    ASSERT_EQ(sim.desktop.Boxes().size(), 2u);
    EXPECT_EQ(sim.desktop.Boxes()[1].text, text::kLibraryMissing);
    EXPECT_TRUE(library.Calls().empty());
    ExpectNoSerialTraffic();

    Provide();
    EXPECT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 1);
    EXPECT_EQ(sim.library.LoadAttempts(), (Calls{kLibraryPath, kLibraryPath, kLibraryPath}));
}

TEST_F(LibraryOpenTest, AnIncompleteLibraryFailsTheOpenSilently) {
    Provide("FilePrinting");
    EXPECT_EQ(comm.OpenDevice(2, 9600, 8, 0, 0), 0);
    EXPECT_TRUE(sim.desktop.Boxes().empty());
    EXPECT_TRUE(library.Calls().empty());
    EXPECT_EQ(sim.library.Loaded(), 0);
    ExpectNoSerialTraffic();
}

// ---- paper in and out, initialise, printing --------------------------------------------------

class LibraryPaperTest : public LibraryTest {
protected:
    void SetUp() override { Bind(); }
};

TEST_F(LibraryPaperTest, PaperInCallsAgainUntilOneWithAPauseBeforeEachCall) {
    // Each list ends in 9, so that a loop that misses its answer ends with 0 instead of hanging.
    library.SetOpenAnswers({3, 3, 1, 9});
    std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ(comm.PaperIn(0), 1);
    EXPECT_EQ(library.Calls(), Calls(3, kOpenPbpr));
    EXPECT_EQ(sim.clock.Sleeps(), std::vector<std::uint32_t>(3, 200));
    EXPECT_EQ(library.CallTimes(), (std::vector<std::uint32_t>{start + 200, start + 400, start + 600}));
    EXPECT_EQ(sim.clock.Ticks(), start + 600);  // nothing after the last call
}

TEST_F(LibraryPaperTest, PaperInTakesSixteenAsDoneAndNineAsFailure) {
    library.SetOpenAnswers({0, 16, 9});
    EXPECT_EQ(comm.PaperIn(0), 1);
    EXPECT_EQ(library.CountCalls("OpenPbpr"), 2);

    library.ClearCalls();
    library.SetOpenAnswers({9, 1});
    EXPECT_EQ(comm.PaperIn(0), 0);
    EXPECT_EQ(library.Calls(), Calls{kOpenPbpr});
}

TEST_F(LibraryPaperTest, EveryOtherAnswerMeansNotYet) {
    library.SetOpenAnswers({0, 2, 3, 8, 10, 15, 17, 65, 66, 242, -1, 1, 9});
    EXPECT_EQ(comm.PaperIn(0), 1);
    EXPECT_EQ(library.CountCalls("OpenPbpr"), 12);
    EXPECT_EQ(sim.clock.Sleeps().size(), 12u);
}

TEST_F(LibraryPaperTest, AWaitWithoutAnAnswerAsksForThePowerEveryFiveSecondsAndEndsWhenItIsOff) {
    std::vector<int> answers(30, 3);
    answers.push_back(1);
    library.SetOpenAnswers(answers);
    EXPECT_EQ(comm.PaperIn(0), 1);  // switched on: the wait goes on through the check
    EXPECT_EQ(library.CountCalls("PrtIsPowerOn"), 1);
    EXPECT_FALSE(comm.LinkLost());

    library.ClearCalls();
    library.SetOpenAnswers({3});
    ASSERT_TRUE(library.Apply("FAKE_PBPR_POWER", "0"));
    std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ(comm.PaperIn(0), 0);
    EXPECT_EQ(sim.clock.Ticks() - start, 25u * 200u);
    EXPECT_EQ(library.CountCalls("OpenPbpr"), 25);
    EXPECT_TRUE(comm.LinkLost());
}

TEST_F(LibraryPaperTest, ThePaperKindIsNotPassedOn) {
    for (int kind : {1, 2}) {
        library.ClearCalls();
        library.SetOpenAnswers({1, 9});
        EXPECT_EQ(comm.PaperIn(kind), 1);
        EXPECT_EQ(library.Calls(), Calls{kOpenPbpr});
    }
}

TEST_F(LibraryPaperTest, PaperOutExpelsAndAnswersOne) {
    EXPECT_EQ(comm.PaperOut(), 1);
    EXPECT_EQ(library.Calls(), Calls{"ExpelPaper()"});
}

TEST_F(LibraryPaperTest, InitPrinterSendsTheInitialiseCommandThenWaitsAndHasNoStatus) {
    std::uint32_t start = sim.clock.Ticks();
    EXPECT_EQ(comm.InitPrinter(), 242);
    EXPECT_EQ(library.Calls(), Calls{kInitialise});
    EXPECT_EQ(library.CallTimes(), std::vector<std::uint32_t>{start});
    EXPECT_EQ(sim.clock.Sleeps(), std::vector<std::uint32_t>{500});
    ExpectNoSerialTraffic();
}

TEST_F(LibraryPaperTest, PrintingSendsNothing) {
    library.SetOpenAnswers({1, 1, 9});
    EXPECT_EQ(comm.PrintPassbook("12,345"), 1);
    EXPECT_EQ(comm.PrintChit("12,345"), -1);
    EXPECT_TRUE(library.Calls().empty());
    // The positioned forms still take the paper in first.
    EXPECT_EQ(comm.PrintPassbookAt(10, 3, "x"), 1);
    EXPECT_EQ(comm.PrintChitAt(10, 3, "x"), -1);
    EXPECT_EQ(library.Calls(), Calls(2, kOpenPbpr));
    ExpectNoSerialTraffic();
}

TEST_F(LibraryPaperTest, TheSettersDoNothing) {
    comm.SetPosition(10, 3);
    comm.SetColumn(10);
    comm.SetRow(3);
    comm.SetBlackColor();
    comm.SetRedColor();
    comm.SetPitch(12, 5);
    comm.SetEnlargeFont();
    comm.SetNormalFont();
    comm.SetFontFace(0);
    comm.SetFontFace(1);
    comm.SendClear();
    comm.SelectPassbook();
    comm.SelectChit();
    EXPECT_TRUE(library.Calls().empty());
    EXPECT_TRUE(sim.clock.Sleeps().empty());
    EXPECT_EQ(sim.clock.IdlePasses(), 0u);
    EXPECT_EQ(comm.m_nFamily, 2);
    ExpectNoSerialTraffic();
}

// ---- the magnetic stripe ---------------------------------------------------------------------

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

TEST_F(LibraryMsrTest, TheFirstCharacterIsDroppedAndTheRestHandedOn) {
    for (auto& [name, read] : Reads()) {
        SCOPED_TRACE(name);
        library.ClearCalls();
        comm.m_strError = "before";
        library.SetStripe(":123");
        char buffer[64];
        std::memset(buffer, '#', sizeof(buffer));
        EXPECT_EQ(read(buffer, sizeof(buffer)), 1);
        EXPECT_EQ(std::string(buffer), "123");
        EXPECT_EQ(library.Calls(), (Calls{"OpenMsrw()", "ReadMsrw()"}));
        EXPECT_TRUE(library.ReadBufferWasZeroed());
        EXPECT_EQ(comm.m_strError, "before");

        library.SetStripe("ABCDE");
        EXPECT_EQ(read(buffer, sizeof(buffer)), 1);
        EXPECT_EQ(std::string(buffer), "BCDE");
        EXPECT_TRUE(library.ReadBufferWasZeroed());  // a fresh buffer each time
    }
}

TEST_F(LibraryMsrTest, AReaderNotReadyFailsWithoutReading) {
    library.SetStripe(":123");
    for (auto& [name, read] : Reads()) {
        for (int answer : {0, 2, 134}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(answer));
            library.ClearCalls();
            library.SetOpenMsrAnswer(answer);
            char buffer[8] = "keep";
            EXPECT_EQ(read(buffer, sizeof(buffer)), 0);
            EXPECT_EQ(library.Calls(), Calls{"OpenMsrw()"});
            EXPECT_STREQ(buffer, "keep");
        }
    }
}

TEST_F(LibraryMsrTest, AFailedReadOrAnEmptyTextFails) {
    for (auto& [name, read] : Reads()) {
        SCOPED_TRACE(name);
        char buffer[8] = "keep";
        library.SetStripe(":123");
        library.SetReadMsrAnswer(0);
        EXPECT_EQ(read(buffer, sizeof(buffer)), 0);
        library.SetReadMsrAnswer(134);
        EXPECT_EQ(read(buffer, sizeof(buffer)), 0);
        library.SetReadMsrAnswer(1);
        library.SetStripe("");
        EXPECT_EQ(read(buffer, sizeof(buffer)), 0);
        EXPECT_STREQ(buffer, "keep");
    }
}

TEST_F(LibraryMsrTest, TheCallersCapacityCutsTheTextAndNothingIsWrittenPastIt) {
    struct Case {
        const char* stripe;
        int capacity;
        const char* expected;
    } cases[] = {
        {":1234567890", 5, "1234"}, {":12345", 5, "1234"}, {":1234", 5, "1234"},
        {":123", 5, "123"},         {":12", 1, ""},
    };
    for (auto& [name, read] : Reads()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(name) + " " + c.stripe + " " + std::to_string(c.capacity));
            library.SetStripe(c.stripe);
            char buffer[8];
            std::memset(buffer, '#', sizeof(buffer));
            EXPECT_EQ(read(buffer, c.capacity), 1);
            EXPECT_STREQ(buffer, c.expected);
            for (std::size_t guard = c.capacity; guard < sizeof(buffer); ++guard) {
                EXPECT_EQ(buffer[guard], '#') << "byte " << guard;
            }
        }
        // No room even for a terminator: nothing is written.
        char buffer[2] = {'#', '#'};
        EXPECT_EQ(read(buffer, 0), 0);
        EXPECT_EQ(buffer[0], '#');
    }
}

TEST_F(LibraryMsrTest, ALibraryThatFillsItsWholeBufferIsCutAtTheEnd) {
    library.SetStripe(":" + std::string(600, '7'));
    for (auto& [name, read] : Reads()) {
        SCOPED_TRACE(name);
        std::vector<char> buffer(1024, '#');
        EXPECT_EQ(read(buffer.data(), static_cast<int>(buffer.size())), 1);
        // 512 bytes came back with no terminator: the last one gives way to it.
        EXPECT_EQ(std::string(buffer.data()), std::string(510, '7'));
        EXPECT_EQ(buffer[511], '#');
    }
}

TEST_F(LibraryMsrTest, WriteSendsAColonAndTheDataAnd65MeansWritten) {
    comm.m_strError = "before";
    EXPECT_EQ(comm.MsrWrite("DATA"), 1);
    EXPECT_EQ(library.Calls(), Calls{"WriteMsrw(\":DATA\")"});
    EXPECT_EQ(comm.m_strError, Cp949("통장이 들어와 있음"));

    library.ClearCalls();
    EXPECT_EQ(comm.MsrWrite(""), 1);
    EXPECT_EQ(library.Calls(), Calls{"WriteMsrw(\":\")"});
}

TEST_F(LibraryMsrTest, OtherWriteAnswersAreTheResultAndSetTheErrorText) {
    library.SetWriteAnswer(113);
    EXPECT_EQ(comm.MsrWrite("DATA"), 113);
    EXPECT_EQ(comm.m_strError, "MS READ/WRITE ERROR");
    library.SetWriteAnswer(27);
    EXPECT_EQ(comm.MsrWrite("DATA"), 27);
    EXPECT_EQ(comm.m_strError, Cp949("취소키를 입력하였음"));

    // A code without a text leaves the text as it was.
    comm.m_strError = "before";
    for (int answer : {1, 0, 67, 300}) {
        library.SetWriteAnswer(answer);
        EXPECT_EQ(comm.MsrWrite("DATA"), answer);
    }
    EXPECT_EQ(comm.m_strError, "before");
}

TEST_F(LibraryMsrTest, WriteCutsOverlongDataAt511Bytes) {
    std::string data(700, 'w');
    EXPECT_EQ(comm.MsrWrite(data.c_str()), 1);
    ASSERT_EQ(library.Calls().size(), 1u);
    EXPECT_EQ(library.Calls()[0], "WriteMsrw(\":" + std::string(510, 'w') + "\")");
}

// ---- a library that is not bound -------------------------------------------------------------

// Every call site, once with the library never loaded and once after a binding that failed.
class LibraryUnboundTest : public LibraryTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            Provide("FilePrinting");
            ASSERT_EQ(comm.OpenDevice(1, 9600, 8, 0, 0), 0);
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
    ExpectNoSerialTraffic();
}

INSTANTIATE_TEST_SUITE_P(NeverLoadedOrIncomplete, LibraryUnboundTest, ::testing::Bool());

// ---- the fake's own settings, as the DLL takes them from the environment ---------------------

TEST(FakeLibrarySettingsTest, SettingsAreParsedStrictly) {
    fake::CFakePrinterLibrary fake;
    EXPECT_TRUE(fake.Apply("FAKE_PBPR_OPEN_ANSWERS", "3,-3,1"));
    EXPECT_TRUE(fake.Apply("FAKE_PBPR_POWER", "0"));
    EXPECT_TRUE(fake.Apply("FAKE_PBPR_WRITE_ANSWER", "113"));
    EXPECT_TRUE(fake.Apply("FAKE_PBPR_STRIPE", ":1,2"));
    for (const char* bad : {"", "1,", ",1", "1,,1", "x", "1 ", "99999999999"}) {
        EXPECT_FALSE(fake.Apply("FAKE_PBPR_OPEN_ANSWERS", bad)) << bad;
        EXPECT_FALSE(fake.Apply("FAKE_PBPR_POWER", bad)) << bad;
    }
    EXPECT_FALSE(fake.Apply("FAKE_PBPR_POWR", "1"));

    EXPECT_EQ(fake.PrtIsPowerOn(), 0);
    EXPECT_EQ(fake.WriteMsrw(":x"), 113);
    std::vector<int> answers;
    for (int i = 0; i < 5; ++i) {
        answers.push_back(fake.OpenPbpr(12, 5, 1, 160));
    }
    EXPECT_EQ(answers, (std::vector<int>{3, -3, 1, 1, 1}));
    char buffer[fake::CFakePrinterLibrary::kReadBufferBytes] = {};
    EXPECT_EQ(fake.ReadMsrw(buffer), 1);
    EXPECT_STREQ(buffer, ":1,2");
}
