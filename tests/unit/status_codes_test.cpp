// Every status code's name and text and the driver's own texts, written here independently of the
// driver's byte tables and compared through glibc's code page 949 converter.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "cp949.h"
#include "device/status_codes.h"
#include "device/texts.h"

TEST(StatusCodes, EveryCodeHasItsNameAndCodePage949Text) {
    const std::tuple<int, std::string, std::string> codes[] = {
        {16, "ERR_ROWOVER", "행 초과"},
        {18, "ERR_DATOVER", "자료길이 초과"},
        {27, "", "취소키를 입력하였음"},
        {33, "ERR_RCUNITS", " 행열 SENSOR 고장"},
        {34, "ERR_PGSENSE", "리본 교환"},
        {36, "ERR_CRIBBON", ""},
        {40, "ERR_COLOVER", "열 초과"},
        {49, "ERR_PAPERJM", "용지 걸림 - 리셋을 누르세요"},
        {50, "ERR_NOPAPER", "용지 없음 - 용지 삽입"},
        {52, "ERR_NOEXIST", " 입구에 매체있음 - 매체 재삽입"},
        {56, "ERR_COMMAND", "COMMAND ERROR - 인쇄위치 확인"},
        {65, "BANK_TONGJN", "통장이 들어와 있음"},
        {66, "BANK_JUNPYO", "전표가 들어와 있음"},
        {67, "BANK_CHITIN", ""},
        {80, "BANK_NORMAL", "정상 상태임"},
        {84, "BANK_LASTOK", ""},
        {85, "BANK_ACTING", "동작중임"},
        {88, "ERR_PAPOVER", "용지가 너무깊이 들어감"},
        {97, "ERR_RCVOVER", "인쇄기기 이상"},
        {113, "ERR_MSRRDWR", "MS READ/WRITE ERROR"},
        {114, "ERR_MSRREAD", "MS READ ERROR "},
        {127, "ERR_UFORMAT", "Write정보 없음. (unformatted)"},
        {133, "BANK_MSR_NO", "Msr이 없음"},
        {134, "BANK_MSR_OK", "MSR을 정상적으로 읽었음"},
        {135, "BANK_END_DETECT", ""},
        {144, "ERR_GARBAGE", "매체에 이물질 있음"},
        {241, "ERR_UNKNOWN", "이유를 모르는 에러"},
        {242, "ERR_PBPROFF", "Response가 없다"},
    };
    for (const auto& [code, name, utf8] : codes) {
        EXPECT_EQ(status::Name(code) != nullptr ? status::Name(code) : "", name) << code;
        EXPECT_EQ(status::Text(code) != nullptr ? status::Text(code) : "", utf8.empty() ? "" : Cp949(utf8))
            << code;
    }
}

TEST(StatusCodes, DriverTextsAreCodePage949) {
    EXPECT_EQ(std::string(text::kNoPrinter), Cp949("통장인쇄기가 꺼져있거나 연결 케이블이 불량합니다."));
    EXPECT_EQ(std::string(text::kPrinterErrorCaption), Cp949("통장인쇄기 오류!!"));
    EXPECT_EQ(std::string(text::kPowerOff), Cp949("전원이 켜져있지 않거나, 케이블을 확인하시기 바랍니다."));
    EXPECT_EQ(std::string(text::kInitDone), Cp949("통장인쇄기 초기화 완료"));
    EXPECT_EQ(std::string(text::kRetryQuestion),
              Cp949("\n통장인쇄기가 꺼져있거나 연결되지 않았습니다.\n다음에 다시 시도하시겠습니까?\n "));
    EXPECT_EQ(std::string(text::kCloseQuestion), Cp949("수행중인 프로그램이 있습니다.\n종료 하시겠습니까?"));
    EXPECT_EQ(std::string(text::kNone), Cp949("없슴"));
    EXPECT_EQ(std::string(text::kPassbookPrintTag), Cp949("통장PRINT"));
    EXPECT_EQ(std::string(text::kChitPrintTag), Cp949("전표PRINT"));
    EXPECT_EQ(std::string(text::kLibraryMissing),
              Cp949("통장인쇄기 제조사의 인쇄 모듈을 실행할 수 없습니다.\n제조사 고객지원센터로 "
                    "연락하시기 바랍니다."));
}
