#pragma once

// The teller transaction of the first benchmark, the one script both of its sides run: the bench
// client against lodevar.exe under Wine (bench_client.cpp) and the driver's own logic on the
// virtual clock (protocol_time.cpp). Take in the passbook (already in the printer), print ten
// lines in the gate's font (Myoungjo, so no font command and no font pause), write the stripe and
// eject. Each step becomes an immediate request built by the client kit.
#include <cstring>

#include "client/lodevar_client.h"

namespace bench {

struct Step {
    char letter;
    int field1;  // 'L' row
    int field2;  // 'L' column
    char option;
    const char* data;  // code page 949
};

// Korean words in code page 949: 급여 b1de bfa9, 입금 c0d4 b1dd, 이자 c0cc c0da, 송금 bcdb b1dd.
inline constexpr Step kTellerTransaction[] = {
    {'I', 0, 0, '0', ""},
    {'L', 3, 2, '3', "2026-12-01  \xb1\xde\xbf\xa9           2,350,000     2,350,000"},
    {'L', 4, 2, '3', "2026-12-02  \xc0\xd4\xb1\xdd              50,000     2,400,000"},
    {'L', 5, 2, '3', "2026-12-03  CARD      184,500                 2,215,500"},
    {'L', 6, 2, '3', "2026-12-04  \xbc\xdb\xb1\xdd      300,000                 1,915,500"},
    {'L', 7, 2, '3', "2026-12-05  ATM        70,000                 1,845,500"},
    {'L', 8, 2, '3', "2026-12-06  \xc0\xd4\xb1\xdd             120,000     1,965,500"},
    {'L', 9, 2, '3', "2026-12-07  CARD       12,300                 1,953,200"},
    {'L', 10, 2, '3', "2026-12-08  \xc0\xcc\xc0\xda               1,240     1,954,440"},
    {'L', 11, 2, '3', "2026-12-09  ATM       100,000                 1,854,440"},
    {'L', 12, 2, '3', "2026-12-10  \xb1\xde\xbf\xa9           2,350,000     4,204,440"},
    {'M', 0, 0, '0', "110-2345-6789-01"},
    {'O', 0, 0, '0', ""},
};

inline lvc_request Request(const Step& step) {
    lvc_request request;
    lvc_build_request(&request, LVC_IMMEDIATE, step.letter, step.field1, step.field2, step.option, step.data,
                      static_cast<int>(std::strlen(step.data)));
    return request;
}

}  // namespace bench
