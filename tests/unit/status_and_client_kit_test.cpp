// The status codes' names and texts in code page 949; the client kit against the driver.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app_fixture.h"
#include "base/status_codes.h"
#include "client/lodevar_client.h"
#include "cp949.h"
#include "gate/request.h"
#include "lodevar_version.h"

// The driver's other texts are checked where they are shown: the link and library tests, the end-to-end
// tests' boxes, balloons and tips.
TEST(StatusCodes, EveryCodeHasItsNameAndItsTextInCodePage949) {
    // clang-format off
    const std::tuple<int, std::string, std::string> codes[] = {
        {16, "ERR_ROWOVER", "행 초과"},                        {18, "ERR_DATOVER", "자료길이 초과"},
        {27, "", "취소키를 입력하였음"},                       {33, "ERR_RCUNITS", " 행열 SENSOR 고장"},
        {34, "ERR_PGSENSE", "리본 교환"},                      {36, "ERR_CRIBBON", ""},
        {40, "ERR_COLOVER", "열 초과"},                        {49, "ERR_PAPERJM", "용지 걸림 - 리셋을 누르세요"},
        {50, "ERR_NOPAPER", "용지 없음 - 용지 삽입"},          {52, "ERR_NOEXIST", " 입구에 매체있음 - 매체 재삽입"},
        {56, "ERR_COMMAND", "COMMAND ERROR - 인쇄위치 확인"},  {65, "BANK_TONGJN", "통장이 들어와 있음"},
        {66, "BANK_JUNPYO", "전표가 들어와 있음"},             {67, "BANK_CHITIN", ""},
        {80, "BANK_NORMAL", "정상 상태임"},                    {84, "BANK_LASTOK", ""},
        {85, "BANK_ACTING", "동작중임"},                       {88, "ERR_PAPOVER", "용지가 너무깊이 들어감"},
        {97, "ERR_RCVOVER", "인쇄기기 이상"},                  {113, "ERR_MSRRDWR", "MS READ/WRITE ERROR"},
        {114, "ERR_MSRREAD", "MS READ ERROR "},                {127, "ERR_UFORMAT", "Write정보 없음. (unformatted)"},
        {133, "BANK_MSR_NO", "Msr이 없음"},                    {134, "BANK_MSR_OK", "MSR을 정상적으로 읽었음"},
        {135, "BANK_END_DETECT", ""},                          {144, "ERR_GARBAGE", "매체에 이물질 있음"},
        {241, "ERR_UNKNOWN", "이유를 모르는 에러"},            {242, "ERR_PBPROFF", "Response가 없다"}};
    // clang-format on
    for (const auto& [code, name, utf8] : codes) {
        EXPECT_EQ(status::Name(code) != nullptr ? status::Name(code) : "", name) << code;
        EXPECT_EQ(status::Text(code) != nullptr ? status::Text(code) : "", utf8.empty() ? "" : Cp949(utf8))
            << code;
    }
}

TEST(ClientKit, BuildsARequestAtEachBoundThatTheGateReadsAndRefusesOnePast) {
    const int I = LVC_IMMEDIATE, Q = LVC_QUEUED;
    using Call = std::tuple<int, char, int, int, char, int>;  // mode, letter, fields, option, data length
    // clang-format off
    const std::pair<Call, Call> pairs[] = {
        {{I, 'L', 0, 0, '3', 128}, {I, 'L', 0, 0, '3', 129}}, {{I, 'M', 0, 0, '0', 127}, {I, 'M', 0, 0, '0', 128}},
        {{I, 'L', 99, 99, '3', 1}, {I, 'L', 0, 100, '3', 1}}, {{I, 'L', 99, 99, '3', 1}, {I, 'L', 100, 0, '3', 1}},
        {{I, 'C', 0, 0, '0', 999}, {I, 'C', 0, 0, '0', 1000}}, {{Q, 'L', 0, 0, '3', 99}, {Q, 'L', 0, 0, '3', 100}},
        {{I, 'L', 0, 0, '~', 1}, {I, 'L', 0, 0, '\x7f', 1}}, {{I, 'L', 0, 0, ' ', 1}, {I, 'L', 0, 0, '\x1f', 1}},
        {{Q, 'O', 0, 0, '0', 0}, {2, 'O', 0, 0, '0', 0}}, {{I, 'L', 0, 0, '3', 1}, {I, 'L', -1, 0, '3', 1}}};
    // clang-format on
    lvc_request request;
    auto build = [&request, data = std::string(999, 'x')](const Call& call) {
        auto [mode, letter, field1, field2, option, length] = call;
        return lvc_build_request(&request, mode, letter, field1, field2, option, data.data(), length);
    };
    for (const auto& [built, refused] : pairs) {
        ASSERT_EQ(build(built), LVC_DONE) << ::testing::PrintToString(built);
        gate::Request parsed;
        EXPECT_EQ(gate::ParseRequest(request.text, request.size, parsed), status::DONE);
        EXPECT_EQ(build(refused), LVC_E_ARGUMENT) << ::testing::PrintToString(refused);
    }
}

class ClientKitReplies : public GateTest {};

TEST_F(ClientKitReplies, TheAdviseReplyCarriesTheFullLengthAnd98BytesAndReadsSoWithinItsBlock) {
    OpenLibrary();
    Join(a);
    const std::string stripe = std::string(60, 'n') + std::string(44, 'm');
    library.stripe = "X" + stripe;
    EXPECT_EQ(Send(a, "A00000000"), 1);
    Pump(1000);
    ASSERT_EQ(a.proc.received.size(), 1u);
    const std::string& block = a.proc.received[0];
    EXPECT_EQ(block, std::string("A\0\0\0\0\0", 6) + "104" + stripe.substr(0, 98) + '\0');
    const auto& copy = sim.windows.CopiesSent().back();
    EXPECT_EQ(std::tuple(copy.tag, copy.from),
              std::tuple(static_cast<std::uintptr_t>('A'), a.gate->Window()));

    auto parse = [](const std::string& bytes) {  // the reply as the kit reads the first `bytes`
        lvc_advise_reply reply{};
        const int read = lvc_parse_advise(bytes.data(), bytes.size(), &reply);
        return std::tuple(read, reply.declared_length, reply.length, std::string(reply.data));
    };
    EXPECT_EQ(parse(block), std::tuple(1, 104, 98, stripe.substr(0, 98)));
    EXPECT_EQ(parse(block.substr(0, 20)), std::tuple(1, 104, 11, std::string(11, 'n')));
    EXPECT_EQ(parse(block.substr(0, 107) + 'z'),
              std::tuple(1, 104, 98, stripe.substr(0, 98)));  // unterminated
    EXPECT_EQ(std::get<0>(parse(block.substr(0, 8))), 0);
}

TEST_F(ClientKitReplies, TheNoticeAfterAFailedOpenCarriesTheNameTheDriverWindowMinusOneAnd242OrAGivenStatus) {
    ClientWindow client;
    Create();
    Register(client);  // its registration names it for the end-of-print notices
    EXPECT_EQ(frame->OpenPrinter(0), 242);
    ASSERT_EQ(client.received.size(), 1u);
    const std::string& block = client.received[0];
    const auto& copy = sim.windows.CopiesSent().back();
    EXPECT_EQ(std::tuple(copy.from, copy.tag), std::tuple(0u, kPrintEndTag));

    lvc_print_end notice;
    ASSERT_EQ(lvc_parse_print_end(block.data(), block.size(), &notice), 1);
    EXPECT_EQ(std::tuple(notice.driver_window, notice.minus_one, notice.status),
              std::tuple(static_cast<long long>(Main()), -1, 242));
    // Short of its 104 bytes it is none.
    EXPECT_EQ(lvc_parse_print_end(block.data(), block.size() - 1, &notice), 0);

    frame->NotifyPrintEnd(50);  // the status given counts only while the device is open
    Plug("COM1", com1, 0);
    ASSERT_EQ(frame->OpenPrinter(0), 1);
    frame->NotifyPrintEnd(50);
    ASSERT_EQ(client.received.size(), 3u);
    EXPECT_EQ(std::tuple(client.received[1][100], client.received[2][100]), std::tuple('\xf2', '\x32'));
}

// The kit names and explains the driver's codes (texts in UTF-8) and its own.
TEST(ClientKit, NamesEveryCodeAndCopiesATextWholeOrNotAtAll) {
    EXPECT_EQ(std::tuple(std::string(lvc_status_name(16)), std::string(lvc_status_text(50)),
                         std::string(lvc_status_name(27)), std::string(lvc_status_text(27)),
                         std::string(lvc_status_name(153)), std::string(lvc_status_name(LVC_E_TIMEOUT))),
              std::tuple("ERR_ROWOVER", "용지 없음 - 용지 삽입", "CANCELLED", "취소키를 입력하였음",
                         "UNKNOWN", "LVC_E_TIMEOUT"));
    // Copies for callers that cannot take a pointer: whole or refused, never cut.
    char out[32];
    EXPECT_EQ(lvc_status_copy(242, LVC_TEXT_NAME, out, 12), 11);
    EXPECT_STREQ(out, "ERR_PBPROFF");
    EXPECT_EQ(lvc_status_copy(242, LVC_TEXT_NAME, out, 11), LVC_E_ARGUMENT);
    EXPECT_EQ(lvc_status_copy(242, LVC_TEXT_UTF8, out, sizeof(out)), 18);  // "Response가 없다"
    EXPECT_EQ(lvc_status_copy(242, 7, out, sizeof(out)), LVC_E_ARGUMENT);
    char version[4];
    EXPECT_EQ(lvc_version(version, sizeof(version)), LODEVAR_VERSION_NUMBER);
    EXPECT_EQ(std::string(version), std::string(LODEVAR_VERSION).substr(0, 3));
    EXPECT_EQ(std::tuple(lvc_succeeded('L', 0), lvc_succeeded('M', 0), lvc_succeeded('I', 65)),
              std::tuple(true, false, false));
}
