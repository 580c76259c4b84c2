#!/usr/bin/env bash
# kit_test.sh LOCALE CASE: the client kit as a DLL, and the diagnostics, under Wine against lodevar.exe
# and the printer emulator on COM1.
#   dll     a teller program on lodevar_client.dll alone (tests/e2e/dll_client.c), binding the
#           functions it uses by name as P/Invoke does: the health check, an asynchronous
#           paper-in during which the program's window keeps handling its messages, two lines, an
#           asynchronous eject, the stripe read in one call, and its time-out with no passbook
#   info    pbclient info while a teller session waits for its passbook: the session's output is the
#           same as without it, the state says busy with one gate, and no gate is added; with no
#           driver, exit code 3
#   log     LOG=1 and a full log from before: a failed open at start, the printer found by the tray's
#           initialise, the link lost during a print, a quiet close. The log holds those lines (and
#           no printed text), the full file was put aside, both within their bound; the tray tip
#           and balloons, read back from the shell's tooltips, follow the printer's state
# Needs DLL_CLIENT, CLIENT_DLL, PBCLIENT, LODEVAR_EXE, DESKTOP_TOOL and what
# harness.sh needs.
source "$(dirname "$0")/harness.sh"

readonly kTab=$'\t'
readonly kWmCommand=273
readonly kIdTrayInit=32775
readonly kTipHead='Banking Printer Driver V1.0'
readonly kLogBound=262144

# start_driver FAMILY: the emulator of FAMILY on COM1 with its lines file, and the driver, which has
# opened the printer when this returns.
start_driver() {
    E2E_LINES=$E2E_TMP/lines
    e2e_start_emu com1 "$1" --lines-file "$E2E_LINES"
    e2e_install_driver
    e2e_launch
    e2e_launched
    e2e_check_eq "the launcher is released" "$E2E_LAUNCH" signalled
}

# await COMMAND PATTERN: runs COMMAND (a function that sets E2E_OUT) until its output holds a line
# matching PATTERN (grep -E), for up to 10 s.
await() {
    for _ in $(seq 20); do
        "$1"
        grep -Eq -- "$2" <<<"$E2E_OUT" && return 0
        sleep 0.5
    done
    e2e_fail "no line '$2' within 10 s in:"$'\n'"$E2E_OUT"
}
tray() {
    e2e_tool tray
}

case_dll() {
    start_driver 0
    # The program and the DLL in a folder of their own, as a teller application ships them.
    local dir=$E2E_TMP/teller
    mkdir -p "$dir"
    cp "${DLL_CLIENT:?DLL_CLIENT names dll-client.exe}" "$dir/dll-client.exe"
    cp "${CLIENT_DLL:?CLIENT_DLL names lodevar_client.dll}" "$dir/lodevar_client.dll"
    # The passbook comes 2 s after the paper-in, and again 2.5 s after the eject, with its stripe.
    e2e_emu com1 stripe 1234-5678-9012-3
    e2e_emu com1 insert passbook 2000
    e2e_emu com1 insert passbook 2500
    e2e_run "$dir/dll-client.exe"
    e2e_check_eq "the DLL client's exit code" "$E2E_STATUS" 0
    e2e_check_eq "the DLL client's session" "$E2E_OUT" "\
version${kTab}10000${kTab}1.0.0
open${kTab}1${kTab}DONE
health${kTab}1${kTab}DONE
health-state${kTab}device=open
register${kTab}1${kTab}DONE
paper-in-async started${kTab}1${kTab}DONE
while it runs, a second${kTab}-1008${kTab}LVC_E_BUSY
paper-in-async${kTab}1${kTab}DONE${kTab}callback I 1, the window ticked through the wait
pending after the end${kTab}0${kTab}NOTHING_DONE
print row 3${kTab}1${kTab}DONE
print row 4${kTab}1${kTab}DONE
eject-async started${kTab}1${kTab}DONE
eject-async${kTab}1${kTab}DONE${kTab}callback O 1
read-stripe${kTab}1${kTab}DONE
stripe${kTab}[1234-5678-9012-3]
eject${kTab}1${kTab}DONE
read-stripe, no passbook${kTab}-1005${kTab}LVC_E_TIMEOUT
release${kTab}1${kTab}DONE"
    e2e_check_eq "the two lines on the passbook" "$(cut -f 2,3,9 "$E2E_LINES" | tr '\t\n' ': ')" \
        "3:2:DLL CLIENT 4:2:디엘엘 고객 "
}

case_info() {
    start_driver 0
    local session
    session=$(session_file "paper-in passbook" "print 2 4 1 teller line" eject)
    # The session alone first: what it prints when nobody asks the driver anything.
    e2e_emu com1 insert passbook 1000
    client session "$session"
    local alone=$E2E_OUT
    e2e_check_eq "the session alone" "$E2E_STATUS" 0

    # Again, with pbclient info twice while its paper-in waits for the passbook (8 s).
    e2e_emu com1 insert passbook 8000
    client_start teller session "$session"
    sleep 2
    client info
    e2e_check_eq "exit code of info during the session" "$E2E_STATUS" 0
    local line
    for line in "version=1.0.0" "gates=1" "device=open" "port=COM1" "family=0" "busy=1" "log=off" \
        "status=통장인쇄기 초기화 완료" "PORT=1" "MODEL=0"; do
        has_line "info during the session: $line" "$E2E_OUT" "$line"
    done
    e2e_check_match "info names the driver's file" "$(grep '^program=' <<<"$E2E_OUT")" '^program=Z:\\.*\\lodevar\.exe$'
    e2e_tool main
    e2e_check_match "info added no gate" "$E2E_OUT" " gates=1$"
    client info
    has_line "info again: still busy with the one gate" "$E2E_OUT" "busy=1"
    client_wait teller
    e2e_check_eq "the session's exit code with info beside it" "$E2E_STATUS" 0
    e2e_check_eq "the session's output is the same with info beside it" "$E2E_OUT" "$alone"
    e2e_check_eq "each session printed its one line" "$(cut -f 9 "$E2E_LINES" | tr '\n' ':')" \
        "teller line:teller line:"

    client info
    has_line "after the session: no gate" "$E2E_OUT" "gates=0"
    has_line "after the session: not busy" "$E2E_OUT" "busy=0"
    client --version
    e2e_check_eq "pbclient --version" "$E2E_OUT" "pbclient 1.0.0 (client kit 1.0.0)"
    e2e_tool quit 20000
    client info
    e2e_check_eq "info without a driver: exit code" "$E2E_STATUS" 3
    e2e_check_match "info without a driver" "$E2E_OUT" "^info${kTab}-1002${kTab}LVC_E_NO_DRIVER${kTab}"
}

case_log() {
    e2e_install_driver
    local user=$E2E_APP/User
    mkdir -p "$user"
    printf '[Lodevar]\r\nPORT=1\r\nLOG=1\r\nMODEL=0\r\n' >"$user/CommData.ini"
    # Yesterday's log, a line short of full: the first line of this run puts it aside.
    yes "2026-12-05 17:00:00.000 STATUS 50 ERR_NOPAPER: yesterday" | head -c $((kLogBound - 60)) >"$user/Lodevar.log"
    local yesterday
    yesterday=$(md5sum <"$user/Lodevar.log")

    # No printer at start: both ports fail, and the operator answers "아니오".
    e2e_launch
    e2e_tool wait question 20000
    e2e_check_eq "the question after the failed open" "$E2E_STATUS" 0
    e2e_tool press question 2
    e2e_launched
    await tray "^tip=$kTipHead\\\\nCreate File Error$"

    # The printer comes; the tray's initialise opens it.
    e2e_start_emu com1 0
    e2e_tool post "$kWmCommand" "$kIdTrayInit"
    await tray "^balloon=통장인쇄기 초기화 완료$"
    has_line "the tip: the printer initialised" "$E2E_OUT" "tip=$kTipHead\\n통장인쇄기 초기화 완료"

    # A print waits for its passbook, and the printer goes.
    client_start waiting session "$(session_file "print 2 4 3 PRINTED-TEXT")"
    sleep 3
    e2e_emu com1 unplug
    client_wait waiting
    has_line "the waiting print answers 242" "$E2E_OUT" "L02043012PRINTED-TEXT${kTab}242${kTab}ERR_PBPROFF${kTab}Response가 없다"
    await tray "^balloon=통장인쇄기 연결이 끊어졌습니다\\.$"
    has_line "the tip: the printer lost" "$E2E_OUT" "tip=$kTipHead\\n통장인쇄기 연결이 끊어졌습니다."

    e2e_tool quit 20000
    e2e_check_eq "the driver ends on WM_CLOSEQUIET" "$E2E_OUT" "exit=0"

    e2e_check_eq "yesterday's full log was put aside as it was" "$(md5sum <"$user/Lodevar.log.1")" "$yesterday"
    local size
    for file in Lodevar.log Lodevar.log.1; do
        size=$(stat -c %s "$user/$file")
        e2e_check_range "the size of $file" "$size" 1 "$kLogBound"
    done
    e2e_check_eq "the new log starts with the UTF-8 byte-order mark" "$(head -c 3 "$user/Lodevar.log" | od -An -tx1)" \
        " ef bb bf"
    # The lines without their time stamps; the first one names the driver's own file.
    local events
    events=$(tail -c +4 "$user/Lodevar.log" | tr -d '\r' | sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:.]{12} //')
    e2e_check_match "the start line" "$(head -n 1 <<<"$events")" '^START Lodevar 1\.0\.0 pid [0-9]+ Z:\\.*\\lodevar\.exe$'
    e2e_check_eq "the log's events" "$(tail -n +2 <<<"$events")" "\
SETTINGS PORT=1 SPEED=9600 TRACE=0 MODEL=0
OPEN FAILED COM1 family 0: Create File Error
OPEN FAILED COM2 family 0: Create File Error
QUESTION no: no open until the tray's initialise or the settings
INIT open
OPEN COM1 family 0: 통장인쇄기 초기화 완료
STATUS 242 ERR_PBPROFF: Response가 없다
LINK LOST COM1 family 0: Response가 없다
QUIET CLOSE
END"
    e2e_check_eq "no printed text in the log" "$(grep -c PRINTED "$user/Lodevar.log")" 0
}

e2e_locale "${1:?LOCALE}"
e2e_setup
case "${2:-}" in
dll) case_dll ;;
info) case_info ;;
log) case_log ;;
*) e2e_abort "unknown case '${2:-}'" ;;
esac
e2e_finish
