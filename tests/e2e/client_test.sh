#!/usr/bin/env bash
# client_test.sh LOCALE CASE: teller sessions through pbclient.exe (the client kit) against lodevar.exe
# under Wine, with the printer emulator on COM1, the Windows programs running in LOCALE (C, or
# ko_KR.UTF-8 for a Korean machine: the session files and the output are the same in both).
#   family0, family1  one registration: a passbook taken in (the emulator inserts it after a moment),
#                     ASCII and Korean lines at their rows and columns in each font, the pitch, a
#                     stripe written and read, the advise reply when the passbook comes in again, the
#                     end of the advise, eject, reset; the emulator's page and its list of printed
#                     runs hold each line where and how it was asked for
#   family2           the printer library (the fake one as VSK_ALL.dll, MODEL=2): every request of a
#                     session done, and the library called for each as the driver's family 2 does
#   queued            queued requests: each answered at once, run in arrival order, the wait event
#                     set after one has run
#   notice            no printer: a request opens the device, the open fails and the driver asks; the
#                     end-of-print notice reaches the client with the driver's window, -1 and 242, and
#                     "아니오" ends the request with 242
#   shutdown          a one-shot client releases its gate; a shut-down with a client registered asks
#                     first: "No" keeps the driver and the gate, "Yes" ends the driver
#   example           the C example of docs/developer-guide.md (TELLER_EXAMPLE) runs its session and
#                     its two lines are on the page
# Needs PBCLIENT, LODEVAR_EXE, DESKTOP_TOOL, FAKE_LIBRARY and what harness.sh needs.
source "$(dirname "$0")/harness.sh"

readonly kPbclient=${PBCLIENT:?PBCLIENT names pbclient.exe}
readonly kCloseQuestion='수행중인 프로그램이 있습니다.\n종료 하시겠습니까?'
readonly kTab=$'\t'


# result_of WHAT: the line of output whose first field is WHAT.
result_of() {
    grep -m 1 -F -- "$1$kTab" <<<"$E2E_OUT"
}

# await_file FILE PATTERN: waits up to 10 s for a line of FILE to match PATTERN (grep -E).
await_file() {
    for _ in $(seq 100); do
        grep -Eq -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# start_driver FAMILY [ARG...]: the emulator of FAMILY on COM1 with its page and lines files, and
# the driver started with ARG; the driver has opened the printer when this returns.
start_driver() {
    local family=$1
    shift
    E2E_PAGE=$E2E_TMP/page
    E2E_LINES=$E2E_TMP/lines
    e2e_start_emu com1 "$family" --page-file "$E2E_PAGE" --lines-file "$E2E_LINES"
    e2e_install_driver
    e2e_launch "$@"
    e2e_launched
    e2e_check_eq "the launcher is released" "$E2E_LAUNCH" signalled
}

case_family() {
    local family=$1
    start_driver "$family"
    client find
    local driver
    driver=$(result_of find)
    e2e_check_match "pbclient finds the driver" "$driver" "^find${kTab}1${kTab}DONE${kTab}driver [0-9]+$"

    # The passbook comes 2 s after the request; it comes again half a second after the eject,
    # while the client waits for a stripe.
    e2e_emu com1 insert passbook 2000
    e2e_emu com1 insert passbook 2500
    local started=$SECONDS
    client session "$(session_file \
        register \
        "paper-in passbook" \
        "pitch 10 6" \
        "print 2 4 1 Godic 고딕 1" \
        "print 3 4 2 Godic 고딕 2" \
        "print 4 4 3 Myoungjo 명조 3" \
        "print 5 4 4 Myoungjo 명조 4" \
        "print 7 30 1 입금 100,000" \
        "msr-write 1234-5678-9012-3" \
        msr-read \
        eject \
        "advise --wait 20" \
        advise \
        unadvise \
        reset \
        eject)"
    e2e_log "the session took $((SECONDS - started)) s"
    e2e_check_eq "the session's exit code" "$E2E_STATUS" 0
    e2e_check_match "the gate" "$(result_of register)" "^register${kTab}1${kTab}DONE${kTab}gate [0-9]+$"
    local line
    for line in \
        "I00000000${kTab}1${kTab}DONE${kTab}done" \
        "C10060000${kTab}1${kTab}DONE${kTab}done" \
        "L02041012Godic 고딕 1${kTab}1${kTab}DONE${kTab}done" \
        "L03042012Godic 고딕 2${kTab}1${kTab}DONE${kTab}done" \
        "L04043015Myoungjo 명조 3${kTab}1${kTab}DONE${kTab}done" \
        "L05044015Myoungjo 명조 4${kTab}1${kTab}DONE${kTab}done" \
        "L07301012입금 100,000${kTab}1${kTab}DONE${kTab}done" \
        "M000000161234-5678-9012-3${kTab}1${kTab}DONE${kTab}done" \
        "R00000000${kTab}1${kTab}DONE${kTab}done" \
        "O00000000${kTab}1${kTab}DONE${kTab}done" \
        "A00000000${kTab}1${kTab}DONE${kTab}done" \
        "advise-reply${kTab}1${kTab}DONE${kTab}016 1234-5678-9012-3" \
        "U00000000${kTab}1${kTab}DONE${kTab}done" \
        "S00000000${kTab}1${kTab}DONE${kTab}done"; do
        has_line "family $family: ${line%%$kTab*}" "$E2E_OUT" "$line"
    done
    e2e_check_eq "family $family: lines of output" "$(wc -l <<<"$E2E_OUT")" 17

    # Each line at its row and column, enlarged characters twice as wide.
    await_file "$E2E_PAGE" '^   7\|'
    local page
    page=$(cat "$E2E_PAGE")
    has_line "family $family: row 2 in Godic" "$page" "   2|    Godic 고딕 1"
    has_line "family $family: row 3 in Godic, enlarged" "$page" "   3|    G o d i c   고  딕    2"
    has_line "family $family: row 4 in Myoungjo" "$page" "   4|    Myoungjo 명조 3"
    has_line "family $family: row 5 in Myoungjo, enlarged" "$page" "   5|    M y o u n g j o   명  조    4"
    has_line "family $family: row 7 at column 30" "$page" "   7|                              입금 100,000"
    # The pitch request reached the printer (the driver always asks for 12 characters per inch).
    # Family 1 has no command for the type face: everything it prints is Myoungjo.
    local godic=godic
    [ "$family" -eq 1 ] && godic=myoungjo
    local lines
    lines=$(cut -f 1-7,9 "$E2E_LINES")
    has_line "family $family: face and size of row 2" "$lines" "passbook${kTab}2${kTab}4${kTab}$godic${kTab}normal${kTab}black${kTab}12${kTab}Godic 고딕 1"
    has_line "family $family: face and size of row 3" "$lines" "passbook${kTab}3${kTab}4${kTab}$godic${kTab}enlarged${kTab}black${kTab}12${kTab}Godic 고딕 2"
    has_line "family $family: face and size of row 4" "$lines" "passbook${kTab}4${kTab}4${kTab}myoungjo${kTab}normal${kTab}black${kTab}12${kTab}Myoungjo 명조 3"
    has_line "family $family: face and size of row 5" "$lines" "passbook${kTab}5${kTab}4${kTab}myoungjo${kTab}enlarged${kTab}black${kTab}12${kTab}Myoungjo 명조 4"
    e2e_check_eq "family $family: printed runs" "$(wc -l <"$E2E_LINES")" 5

    # Korean on a one-shot command line, where the locale is UTF-8 (Wine reads the command line in
    # the locale's character set; Windows hands it over as Unicode).
    if [[ "$LANG" == *UTF-8 ]]; then
        e2e_emu com1 insert passbook
        client print 9 2 3 "거래 끝"
        e2e_check_eq "a one-shot Korean line" "$E2E_OUT" "L09023007거래 끝${kTab}1${kTab}DONE${kTab}done"
        await_file "$E2E_PAGE" '^   9\|'
        has_line "the one-shot line on the page" "$(cat "$E2E_PAGE")" "   9|  거래 끝"
    fi
}

case_family2() {
    e2e_install_driver
    cp "${FAKE_LIBRARY:?FAKE_LIBRARY names the fake printer library DLL}" "$E2E_APP/VSK_ALL.dll"
    mkdir -p "$E2E_APP/User"
    # Port 2: the open names it to the library.
    printf '[Lodevar]\r\nPORT=2\r\nMODEL=2\r\n' >"$E2E_APP/User/CommData.ini"
    local log=$E2E_TMP/calls.log
    # The library runs inside the driver, which inherits these through the launcher.
    export FAKE_PBPR_LOG
    FAKE_PBPR_LOG=$(windows_path "$log")
    export FAKE_PBPR_OPEN_ANSWERS=3,16,1 FAKE_PBPR_STRIPE=:1234-5678 FAKE_PBPR_WRITE_ANSWER=65
    e2e_launch
    e2e_launched
    e2e_check_eq "the launcher is released" "$E2E_LAUNCH" signalled
    e2e_check_eq "family 2: the open's library calls" "$(cat "$log")" "\
SetPrtPortID(\"COM2\")
WriteCommand(\"\\x1b0\")
PrtIsPowerOn()"
    : >"$log"
    client session "$(session_file \
        register \
        "paper-in passbook" \
        "print 2 4 1 library 1" \
        "msr-write 1234-5678" \
        msr-read \
        "advise --wait 10" \
        unadvise \
        "pitch 10 6" \
        reset \
        eject)"
    e2e_check_eq "the session's exit code" "$E2E_STATUS" 0
    e2e_check_match "the gate" "$(head -n 1 <<<"$E2E_OUT")" "^register${kTab}1${kTab}DONE${kTab}gate [0-9]+$"
    # The library reads the stripe with a first character that is not data.
    e2e_check_eq "family 2: every request done" "$(tail -n +2 <<<"$E2E_OUT")" "\
I00000000${kTab}1${kTab}DONE${kTab}done
L02041009library 1${kTab}1${kTab}DONE${kTab}done
M000000091234-5678${kTab}1${kTab}DONE${kTab}done
R00000000${kTab}1${kTab}DONE${kTab}done
A00000000${kTab}1${kTab}DONE${kTab}done
advise-reply${kTab}1${kTab}DONE${kTab}009 1234-5678
U00000000${kTab}1${kTab}DONE${kTab}done
C10060000${kTab}1${kTab}DONE${kTab}done
S00000000${kTab}1${kTab}DONE${kTab}done
O00000000${kTab}1${kTab}DONE${kTab}done"
    # The paper-in asks until the library says the passbook is in (16: in, and the library's
    # answer 1 after it stays for the later calls), and the print asks once more;
    # the stripe goes out with the library's colon; the read and the advise poll each open and read
    # the stripe; the reset is the initialise command; the eject expels the passbook.
    e2e_check_eq "family 2: the library's calls" "$(cat "$log")" "\
OpenPbpr(12,5,1,160)
OpenPbpr(12,5,1,160)
OpenPbpr(12,5,1,160)
WriteMsrw(\":1234-5678\")
OpenMsrw()
ReadMsrw()
OpenMsrw()
ReadMsrw()
WriteCommand(\"\\x1b0\")
ExpelPaper()"
}

case_queued() {
    start_driver 0
    e2e_emu com1 insert passbook 1000
    # The first waits for its event, which comes once the passbook is in and the request has run.
    # The next three are answered at once and run in the order they came; the pause keeps the gate
    # until they have run (the event keeps one signal, not a count).
    client session "$(session_file \
        "--queued paper-in passbook" \
        "--queued --nowait print 2 0 3 first" \
        "--queued --nowait print 3 0 3 second" \
        "--queued --nowait print 4 0 3 third" \
        "wait-event 20" \
        "sleep 3000" \
        "--queued print 6 0 3 fourth" \
        "--queued eject")"
    e2e_check_eq "the session's exit code" "$E2E_STATUS" 0
    e2e_check_eq "each queued request answered and signalled" "$E2E_OUT" "\
queued I00000000${kTab}1${kTab}DONE${kTab}done
queued L02003005first${kTab}1${kTab}DONE${kTab}done
queued L03003006second${kTab}1${kTab}DONE${kTab}done
queued L04003005third${kTab}1${kTab}DONE${kTab}done
wait-event${kTab}1${kTab}DONE${kTab}done
queued L06003006fourth${kTab}1${kTab}DONE${kTab}done
queued O00000000${kTab}1${kTab}DONE${kTab}done"
    e2e_check_eq "the lines in the order they were queued" "$(cut -f 2,9 "$E2E_LINES" | tr '\t\n' ': ')" \
        "2:first 3:second 4:third 6:fourth "

    # A queued request carries at most 99 bytes of data: the client refuses more before sending.
    client --queued print 8 0 3 "$(printf 'x%.0s' {1..100})"
    e2e_check_eq "exit code of a queued line of 100 bytes" "$E2E_STATUS" 1
    e2e_check_match "a queued line of 100 bytes" "$E2E_OUT" "^queued print 8 0 3 x{100}${kTab}-1001${kTab}LVC_E_ARGUMENT${kTab}"
}

case_notice() {
    e2e_install_driver
    e2e_launch /noinit
    e2e_launched
    client find
    local driver=${E2E_OUT##*driver }
    # No printer on either port: the paper-in opens the device, the open fails and the driver asks.
    client_start main session "$(session_file register "paper-in passbook")"
    e2e_tool wait question 20000
    e2e_check_eq "the question appears" "$E2E_STATUS" 0
    e2e_tool press question 2
    client_wait main
    e2e_check_eq "exit code after a failed open" "$E2E_STATUS" 1
    has_line "the paper-in answers 242" "$E2E_OUT" "I00000000${kTab}242${kTab}ERR_PBPROFF${kTab}Response가 없다"
    has_line "the end-of-print notice" "$E2E_OUT" "print-end${kTab}242${kTab}ERR_PBPROFF${kTab}driver $driver -1"
}

case_shutdown() {
    e2e_install_driver
    e2e_launch /noinit
    e2e_launched
    # A one-shot client registers, shows its gate and releases it when it ends.
    client register
    e2e_check_match "one-shot register" "$E2E_OUT" "^register${kTab}1${kTab}DONE${kTab}gate [0-9]+$"
    e2e_tool main
    e2e_check_match "the one-shot client released its gate" "$E2E_OUT" " gates=0$"

    # With a client registered the shut-down asks: "No" keeps the driver and the client's gate.
    client_start main session "$(session_file register shutdown "sleep 8000")"
    e2e_tool wait box 20000
    has_line "the close question" "$E2E_OUT" "65535 Static visible=1 enabled=1 checked=-1 limit=-1 text=$kCloseQuestion"
    e2e_tool press box 7
    e2e_tool main
    e2e_check_match "No keeps the driver and the gate" "$E2E_OUT" " visible=0 .* gates=1$"
    client_wait main
    e2e_check_eq "exit code of the session that asked" "$E2E_STATUS" 0
    has_line "the shut-down request" "$E2E_OUT" "shutdown${kTab}1${kTab}DONE${kTab}done"
    e2e_tool main
    e2e_check_match "the session released its gate at its end" "$E2E_OUT" " gates=0$"

    # "Yes" ends the driver.
    client_start main session "$(session_file register shutdown "sleep 8000")"
    e2e_tool wait box 20000
    e2e_tool press box 6
    e2e_ended "$(e2e_driver_pid)" 20000
    e2e_check_eq "Yes ends the driver" "$E2E_OUT" "exit=0"
    client_wait main
    e2e_check_eq "exit code of the session whose driver ended" "$E2E_STATUS" 0
}

case_example() {
    start_driver 0
    e2e_emu com1 insert passbook 1000
    e2e_run "${TELLER_EXAMPLE:?TELLER_EXAMPLE names teller-example.exe}"
    e2e_check_eq "the example's exit code" "$E2E_STATUS" 0
    e2e_check_eq "the example's output" "$E2E_OUT" "\
open                     1  DONE             done
register                 1  DONE             done
paper in                 1  DONE             done
print row 3              1  DONE             done
print row 4              1  DONE             done
eject                    1  DONE             done
release                  1  DONE             done"
    await_file "$E2E_PAGE" '^   4\|'
    has_line "the example's Godic line" "$(cat "$E2E_PAGE")" "   3|  2026-12-06  DEPOSIT      150,000"
    has_line "the example's Korean line" "$(cat "$E2E_PAGE")" "   4|  2026-12-06  급여 입금  2,350,000"
}

e2e_locale "${1:?LOCALE}"
e2e_setup
case "${2:-}" in
family0) case_family 0 ;;
family1) case_family 1 ;;
family2) case_family2 ;;
queued) case_queued ;;
notice) case_notice ;;
shutdown) case_shutdown ;;
example) case_example ;;
*) e2e_abort "unknown case '${2:-}'" ;;
esac
e2e_finish
