#include "base/status_codes.h"

namespace status {
namespace {

struct Entry {
    int code;
    const char* name;  // nullptr: the code has no name
    const char* text;  // nullptr: the code has no text; code page 949 bytes
};

// The Korean texts are kept as code page 949 bytes; the comment above each gives it readably.
// clang-format off
constexpr Entry kTable[] = {
    // "행 초과"
    {16, "ERR_ROWOVER", "\xc7\xe0 \xc3\xca\xb0\xfa"},
    // "자료길이 초과"
    {18, "ERR_DATOVER", "\xc0\xda\xb7\xe1\xb1\xe6\xc0\xcc \xc3\xca\xb0\xfa"},
    // "취소키를 입력하였음"
    {27, nullptr, "\xc3\xeb\xbc\xd2\xc5\xb0\xb8\xa6 \xc0\xd4\xb7\xc2\xc7\xcf\xbf\xb4\xc0\xbd"},
    // " 행열 SENSOR 고장"
    {33, "ERR_RCUNITS", " \xc7\xe0\xbf\xad SENSOR \xb0\xed\xc0\xe5"},
    // "리본 교환"
    {34, "ERR_PGSENSE", "\xb8\xae\xba\xbb \xb1\xb3\xc8\xaf"},
    {36, "ERR_CRIBBON", nullptr},
    // "열 초과"
    {40, "ERR_COLOVER", "\xbf\xad \xc3\xca\xb0\xfa"},
    // "용지 걸림 - 리셋을 누르세요"
    {49, "ERR_PAPERJM", "\xbf\xeb\xc1\xf6 \xb0\xc9\xb8\xb2 - \xb8\xae\xbc\xc2\xc0\xbb \xb4\xa9\xb8\xa3\xbc\xbc\xbf\xe4"},
    // "용지 없음 - 용지 삽입"
    {50, "ERR_NOPAPER", "\xbf\xeb\xc1\xf6 \xbe\xf8\xc0\xbd - \xbf\xeb\xc1\xf6 \xbb\xf0\xc0\xd4"},
    // " 입구에 매체있음 - 매체 재삽입"
    {52, "ERR_NOEXIST", " \xc0\xd4\xb1\xb8\xbf\xa1 \xb8\xc5\xc3\xbc\xc0\xd6\xc0\xbd - \xb8\xc5\xc3\xbc \xc0\xe7\xbb\xf0\xc0\xd4"},
    // "COMMAND ERROR - 인쇄위치 확인"
    {56, "ERR_COMMAND", "COMMAND ERROR - \xc0\xce\xbc\xe2\xc0\xa7\xc4\xa1 \xc8\xae\xc0\xce"},
    // "통장이 들어와 있음"
    {65, "BANK_TONGJN", "\xc5\xeb\xc0\xe5\xc0\xcc \xb5\xe9\xbe\xee\xbf\xcd \xc0\xd6\xc0\xbd"},
    // "전표가 들어와 있음"
    {66, "BANK_JUNPYO", "\xc0\xfc\xc7\xa5\xb0\xa1 \xb5\xe9\xbe\xee\xbf\xcd \xc0\xd6\xc0\xbd"},
    {67, "BANK_CHITIN", nullptr},
    // "정상 상태임"
    {80, "BANK_NORMAL", "\xc1\xa4\xbb\xf3 \xbb\xf3\xc5\xc2\xc0\xd3"},
    {84, "BANK_LASTOK", nullptr},
    // "동작중임"
    {85, "BANK_ACTING", "\xb5\xbf\xc0\xdb\xc1\xdf\xc0\xd3"},
    // "용지가 너무깊이 들어감"
    {88, "ERR_PAPOVER", "\xbf\xeb\xc1\xf6\xb0\xa1 \xb3\xca\xb9\xab\xb1\xed\xc0\xcc \xb5\xe9\xbe\xee\xb0\xa8"},
    // "인쇄기기 이상"
    {97, "ERR_RCVOVER", "\xc0\xce\xbc\xe2\xb1\xe2\xb1\xe2 \xc0\xcc\xbb\xf3"},
    {113, "ERR_MSRRDWR", "MS READ/WRITE ERROR"},
    {114, "ERR_MSRREAD", "MS READ ERROR "},
    // "Write정보 없음. (unformatted)"
    {127, "ERR_UFORMAT", "Write\xc1\xa4\xba\xb8 \xbe\xf8\xc0\xbd. (unformatted)"},
    // "Msr이 없음"
    {133, "BANK_MSR_NO", "Msr\xc0\xcc \xbe\xf8\xc0\xbd"},
    // "MSR을 정상적으로 읽었음"
    {134, "BANK_MSR_OK", "MSR\xc0\xbb \xc1\xa4\xbb\xf3\xc0\xfb\xc0\xb8\xb7\xce \xc0\xd0\xbe\xfa\xc0\xbd"},
    {135, "BANK_END_DETECT", nullptr},
    // "매체에 이물질 있음"
    {144, "ERR_GARBAGE", "\xb8\xc5\xc3\xbc\xbf\xa1 \xc0\xcc\xb9\xb0\xc1\xfa \xc0\xd6\xc0\xbd"},
    // "이유를 모르는 에러"
    {241, "ERR_UNKNOWN", "\xc0\xcc\xc0\xaf\xb8\xa6 \xb8\xf0\xb8\xa3\xb4\xc2 \xbf\xa1\xb7\xaf"},
    // "Response가 없다"
    {242, "ERR_PBPROFF", "Response\xb0\xa1 \xbe\xf8\xb4\xd9"},
};
// clang-format on

const Entry* Find(int code) {
    for (const Entry& entry : kTable) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

const char* Name(int code) {
    const Entry* entry = Find(code);
    return entry != nullptr ? entry->name : nullptr;
}

const char* Text(int code) {
    const Entry* entry = Find(code);
    return entry != nullptr ? entry->text : nullptr;
}

}  // namespace status
