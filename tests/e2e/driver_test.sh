#!/usr/bin/env bash
# driver_test.sh LOCALE CASE: lodevar.exe under Wine, driven from outside as a launcher, an operator
# and a teller application would, with the Windows programs running in LOCALE (C, or ko_KR.UTF-8
# for a Korean machine).
#   startup    with /noinit: the launcher is released, the window is hidden, the monitor program
#              gets the process id, the tray menu's resources, WM_CLOSEQUIET, no file written
#   noprinter  no printer on either port: the question holds the launcher until it is answered,
#              "아니오" leaves the driver running, the tray's initialise asks again, the About box
#   settings   the settings dialog shows the profile file, refuses a six-digit speed, and runs the
#              open on OK; a client makes the tray's exit ask, "No" keeps the driver, "Yes" ends it
#   printer    a family 1 printer emulator on COM2 with PORT=1 configured: the open falls back to
#              COM2 and stores PORT=2 and the probed MODEL=1; with /noinit nothing is opened
#   unanswered no printer and nobody answers the question: with the settings dialog, the About box,
#              the close question and the tray menu open over it as well, WM_CLOSEQUIET ends the
#              driver; so does the end of the session (WM_QUERYENDSESSION answered yes, then
#              WM_ENDSESSION)
#   busy       a family 0 printer emulator on COM1 and a teller waiting for a passbook: with the
#              settings dialog, the About box and the tray menu open, the passbook put in is taken
#              at once and the teller's session goes on; the dialogs stay open
# Needs LODEVAR_EXE, DESKTOP_TOOL, KOVASK and what harness.sh needs.
source "$(dirname "$0")/harness.sh"

readonly kQuestion='\n통장인쇄기가 꺼져있거나 연결되지 않았습니다.\n다음에 다시 시도하시겠습니까?\n '
readonly kCloseQuestion='수행중인 프로그램이 있습니다.\n종료 하시겠습니까?'
readonly kWmCommand=273
readonly kIdTrayInit=32775
readonly kIdTrayConfig=32776
readonly kIdTrayExit=32773
readonly kIdAppAbout=57664
readonly kWmTrayNotify=1324
readonly kWmRButtonUp=517
readonly kTab=$'\t'

# control ID: the line of control ID in the last dialog description (E2E_OUT of "wait").
control() {
    grep -m 1 "^$1 " <<<"$E2E_OUT"
}

# has_line WHAT LINE: the last dialog description holds LINE exactly.
has_line() {
    if grep -Fxq -- "$2" <<<"$E2E_OUT"; then
        e2e_log "ok: $1"
    else
        e2e_fail "$1: no line '$2' in:"$'\n'"$E2E_OUT"
    fi
}

readonly kStatic="Static visible=1 enabled=1 checked=-1 limit=-1 text="

# wait_dialog DIALOG: waits for the dialog; its description is in E2E_OUT.
wait_dialog() {
    e2e_tool wait "$1" 10000
    e2e_check_eq "the $1 dialog appears" "$E2E_STATUS" 0
}

press() {
    e2e_tool press "$1" "$2"
    e2e_tool gone "$1" 10000
    e2e_check_eq "the $1 dialog closes after pressing $2" "$E2E_STATUS" 0
}

# driver_running WHAT: the main window is there, hidden.
driver_running() {
    e2e_tool main 5000
    e2e_check_match "$1" "$E2E_OUT" '^window=[0-9a-f]+ pid=[0-9]+ visible=0 classstyle=0x0203 '
    if [ "$E2E_STATUS" -ne 0 ]; then
        local found=$E2E_OUT
        e2e_ended "$(e2e_driver_pid)" 0
        e2e_log "no main window; the driver process: $E2E_OUT"
        E2E_OUT=$found
    fi
}

# quit_driver: WM_CLOSEQUIET ends the driver, with exit code 0.
quit_driver() {
    e2e_tool quit 20000
    e2e_check_eq "WM_CLOSEQUIET ends the driver" "$E2E_OUT" "exit=0"
    e2e_tool main 500
    e2e_check_eq "no main window after the driver ended" "$E2E_STATUS" 1
}

# files_left: every file in the program folder, relative to it, sorted, on one line.
files_left() {
    (cd "$E2E_APP" && find . -mindepth 1 | sort | tr '\n' ' ')
}

case_startup() {
    e2e_install_driver --monitor
    e2e_launch /noinit
    e2e_launched
    e2e_check_eq "the launcher is released" "$E2E_LAUNCH" signalled
    e2e_check_range "milliseconds to the start-up signal" "${E2E_LAUNCH_MS:-0}" 1 20000
    driver_running "the main window exists, hidden, with its class styles"
    e2e_check_match "the driver's process id" "$E2E_OUT" "pid=$(e2e_driver_pid) "
    e2e_check_match "no gate windows yet" "$E2E_OUT" ' gates=0$'

    # The monitor program is started from the program folder with the driver's process id.
    local monitor=""
    for _ in $(seq 50); do
        [ -s "$E2E_APP/kovask.txt" ] && break
        sleep 0.1
    done
    [ -s "$E2E_APP/kovask.txt" ] && monitor=$(tr -d '\r' <"$E2E_APP/kovask.txt" | tr '\n' ' ')
    e2e_check_eq "the monitor program's argument and folder" "$monitor" \
        "arg=$(e2e_driver_pid) cwd=$E2E_APP_WIN "

    e2e_tool menu "$E2E_APP_WIN\\lodevar.exe"
    e2e_check_eq "the tray menu" "$E2E_OUT" "popup Not Used
57664 프로그램 정보(&A)...
32776 구성정보
separator
32775 초기화
separator
32773 종      료"

    quit_driver
    # /noinit opened nothing, so nothing was stored; and no trace or log file appears.
    e2e_check_eq "the files in the program folder" "$(files_left)" \
        "./User ./kovask.exe ./kovask.txt ./lodevar.exe "
}

case_noprinter() {
    e2e_install_driver
    e2e_launch
    wait_dialog question
    e2e_check_eq "the question stays on top" "$(head -n 1 <<<"$E2E_OUT")" "topmost=1"
    e2e_check_eq "the question's text" "$(control 1009)" \
        "1009 Static visible=1 enabled=1 checked=-1 limit=-1 text=$kQuestion"
    e2e_check_match "the yes button" "$(control 1)" ' visible=1 enabled=1 .* text=예$'
    e2e_check_match "the no button" "$(control 2)" ' visible=1 enabled=1 .* text=아니오$'
    if e2e_launch_waiting; then
        e2e_log "ok: the launcher waits while the question is up"
    else
        e2e_fail "the launcher was released before the question was answered"
    fi
    press question 2
    e2e_launched
    e2e_check_eq "the launcher is released after the answer" "$E2E_LAUNCH" signalled
    driver_running "the driver keeps running after 아니오"

    # After "no" the tray's initialise opens again, and asks again; Escape answers no.
    e2e_tool post "$kWmCommand" "$kIdTrayInit"
    wait_dialog question
    e2e_tool escape question
    e2e_tool gone question 10000
    e2e_check_eq "Escape closes the question" "$E2E_STATUS" 0
    driver_running "the driver keeps running after Escape"

    e2e_tool post "$kWmCommand" "$kIdAppAbout"
    wait_dialog about
    has_line "the About box's text" "-1 ${kStatic}Lodevar 버전 1.0 "
    e2e_check_match "the About box's button" "$(control 1)" ' text=확인$'
    press about 1

    quit_driver
    e2e_check_eq "a failed open stores nothing" "$(files_left)" "./User ./lodevar.exe "
}

case_settings() {
    e2e_install_driver
    mkdir -p "$E2E_APP/User"
    local ini
    ini=$(printf '[Lodevar]\r\nPORT=2\r\nSPEED=115200\r\nTRACE=1\r\nMODEL=1\r\n')
    printf '%s' "$ini" >"$E2E_APP/User/CommData.ini"
    e2e_launch /noinit
    e2e_launched
    e2e_check_eq "the launcher is released" "$E2E_LAUNCH" signalled

    e2e_tool post "$kWmCommand" "$kIdTrayConfig"
    wait_dialog settings
    local expected
    for expected in \
        "1001 Button visible=1 enabled=1 checked=0 limit=-1 text=Com1" \
        "1002 Button visible=1 enabled=1 checked=1 limit=-1 text=Com2" \
        "1004 Edit visible=1 enabled=1 checked=-1 limit=5 text=115200" \
        "1005 Button visible=1 enabled=1 checked=1 limit=-1 text=Trace ON" \
        "1011 Button visible=1 enabled=1 checked=0 limit=-1 text=Alder" \
        "1012 Button visible=1 enabled=1 checked=1 limit=-1 text=Birch" \
        "1013 Button visible=0 enabled=0 checked=0 limit=-1 text=Cedar"; do
        e2e_check_eq "settings control ${expected%% *}" "$(control "${expected%% *}")" "$expected"
    done
    e2e_check_match "the users box" "$(control 1006)" '^1006 Edit .* text=0$'
    e2e_check_match "the MSR wait box" "$(control 1007)" '^1007 Edit .* text=OFF$'
    local label
    for label in "포트번호 :" "통신속도 :" "사용자수 :" "MSR 입력대기 :" "통자인쇄기 MODEL :"; do
        has_line "the label '$label'" "-1 $kStatic$label"
    done

    # Six digits do not pass OK: a box says so and the dialog stays until the text is shortened.
    e2e_tool press settings 1
    wait_dialog box
    has_line "the too-long message" "65535 ${kStatic}5자 이하로 입력하십시오."
    press box 1
    e2e_tool wait settings 100
    e2e_check_eq "the settings dialog stays after a refused OK" "$E2E_STATUS" 0
    e2e_tool set settings 1004 19200
    press settings 1
    # OK runs the open: with no printer it asks, and the answer "예" keeps the driver as it is.
    wait_dialog question
    press question 1
    driver_running "the driver keeps running after the settings"
    e2e_check_eq "a failed open leaves the profile file as it was" "$(cat "$E2E_APP/User/CommData.ini")" "$ini"

    # With a client registered the users box counts it, and Cancel runs no open.
    e2e_tool register
    e2e_check_match "a client registers" "$E2E_OUT" ' ok=1 error=0 answer=[1-9][0-9]* '
    e2e_tool post "$kWmCommand" "$kIdTrayConfig"
    wait_dialog settings
    e2e_check_match "the users box counts the client" "$(control 1006)" ' text=1$'
    e2e_check_match "the speed box shows the new speed" "$(control 1004)" ' text=19200$'
    press settings 2
    e2e_tool wait question 1500
    e2e_check_eq "Cancel opens nothing" "$E2E_STATUS" 1

    # Exit from the tray asks while a client is registered.
    e2e_tool post "$kWmCommand" "$kIdTrayExit"
    wait_dialog box
    has_line "the close question" "65535 $kStatic$kCloseQuestion"
    press box 7
    driver_running "No keeps the driver running"
    e2e_check_match "No keeps the client's gate" "$E2E_OUT" ' gates=1$'
    e2e_tool post "$kWmCommand" "$kIdTrayExit"
    wait_dialog box
    e2e_tool press box 6
    e2e_ended "$(e2e_driver_pid)" 20000
    e2e_check_eq "Yes ends the driver" "$E2E_OUT" "exit=0"
    # TRACE=1 and a client's gate: still no trace or log file.
    e2e_check_eq "the files in the program folder" "$(files_left)" "./User ./User/CommData.ini ./lodevar.exe "
}

# ini_keys FILE: the keys of a profile file, one "KEY=value" per line, without carriage returns.
ini_keys() {
    tr -d '\r' <"$1" | grep -v '^\[' | grep -v '^$'
}

case_printer() {
    e2e_install_driver
    mkdir -p "$E2E_APP/User"
    printf '[Lodevar]\r\nPORT=1\r\n' >"$E2E_APP/User/CommData.ini"
    e2e_start_emu com2 1
    e2e_launch
    e2e_launched
    e2e_check_eq "the launcher is released after the open" "$E2E_LAUNCH" signalled
    e2e_check_eq "the settings that worked are stored" "$(ini_keys "$E2E_APP/User/CommData.ini" | tr '\n' ' ')" \
        "PORT=2 SPEED=9600 TRACE=0 MODEL=1 "
    e2e_tool post "$kWmCommand" "$kIdTrayConfig"
    wait_dialog settings
    e2e_check_match "the settings dialog shows the port that opened" "$(control 1002)" ' checked=1 '
    e2e_check_match "the settings dialog shows the probed family" "$(control 1012)" ' checked=1 '
    press settings 2
    quit_driver

    # /noinit with the printer behind COM1, where the driver looks first: nothing is opened, so
    # nothing is stored. The run after it, without /noinit, shows that the printer was there.
    e2e_install_driver
    e2e_unplug com2
    e2e_start_emu com1 1
    e2e_launch /noinit
    e2e_launched
    e2e_check_eq "the launcher is released with /noinit" "$E2E_LAUNCH" signalled
    quit_driver
    e2e_check_eq "with /noinit the program folder holds no profile file" "$(files_left)" "./User ./lodevar.exe "
    e2e_launch
    e2e_launched
    e2e_check_eq "the launcher is released after the open on COM1" "$E2E_LAUNCH" signalled
    e2e_check_eq "without /noinit the open stores its settings" \
        "$(ini_keys "$E2E_APP/User/CommData.ini" 2>/dev/null | tr '\n' ' ')" "PORT=1 SPEED=9600 TRACE=0 MODEL=1 "
    quit_driver
}

# open_operator_ui: the settings dialog, the About box, the close question (a client registers
# first) and the tray menu, opened one after the other; each must appear while the others stay.
open_operator_ui() {
    e2e_tool post "$kWmCommand" "$kIdTrayConfig"
    wait_dialog settings
    e2e_tool post "$kWmCommand" "$kIdAppAbout"
    wait_dialog about
    e2e_tool register
    e2e_check_match "a client registers" "$E2E_OUT" ' ok=1 error=0 answer=[1-9][0-9]* '
    e2e_tool post "$kWmCommand" "$kIdTrayExit"
    wait_dialog box
    e2e_tool post "$kWmTrayNotify" 0 "$kWmRButtonUp"
    wait_dialog menu
}

# none_left WHAT DIALOG...: none of the dialogs is on the screen.
none_left() {
    local dialog
    for dialog in "${@:2}"; do
        e2e_tool gone "$dialog" 2000
        e2e_check_eq "$1: no $dialog left" "$E2E_STATUS" 0
    done
}

case_unanswered() {
    e2e_install_driver
    e2e_launch
    wait_dialog question
    open_operator_ui
    e2e_tool quit 10000
    e2e_check_eq "WM_CLOSEQUIET ends the driver while nobody answers" "$E2E_OUT" "exit=0"
    none_left "after WM_CLOSEQUIET" question settings about box menu
    e2e_launched
    e2e_check_eq "the launcher is released when the question ends" "$E2E_LAUNCH" signalled

    # A log-off: the session may end, and when it ends the driver goes, question and all.
    e2e_launch
    wait_dialog question
    open_operator_ui
    e2e_tool endsession 10000
    e2e_check_eq "the end of the session ends the driver before it answers" "$E2E_OUT" \
        "query=1 window=gone exit=0"
    none_left "after the end of the session" question settings about box menu
    e2e_launched
    e2e_check_eq "a failed open stores nothing" "$(files_left)" "./User ./lodevar.exe "
}

case_busy() {
    e2e_install_driver
    mkdir -p "$E2E_APP/User"
    printf '[Lodevar]\r\nPORT=1\r\nMODEL=0\r\n' >"$E2E_APP/User/CommData.ini"
    e2e_start_emu com1 0
    e2e_launch
    e2e_launched
    e2e_check_eq "the launcher is released after the open" "$E2E_LAUNCH" signalled
    client_start teller --timeout 30 session "$(session_file register "paper-in passbook" eject)"
    await_output teller "^register$kTab"
    sleep 1  # the teller's paper-in waits for the passbook
    e2e_tool post "$kWmCommand" "$kIdTrayConfig"
    wait_dialog settings
    e2e_tool post "$kWmCommand" "$kIdAppAbout"
    wait_dialog about
    e2e_tool post "$kWmTrayNotify" 0 "$kWmRButtonUp"
    wait_dialog menu
    local inserted
    inserted=$(now_ms)
    e2e_emu com1 insert passbook
    await_output teller "^O00000000$kTab" 20
    e2e_check_range "milliseconds from the passbook to the end of the teller's session" \
        "$(($(now_ms) - inserted))" 0 5000
    client_wait teller
    has_line "the paper-in takes the passbook" "I00000000${kTab}1${kTab}DONE${kTab}done"
    has_line "the eject follows" "O00000000${kTab}1${kTab}DONE${kTab}done"
    e2e_tool wait settings 100
    e2e_check_eq "the settings dialog is still open" "$E2E_STATUS" 0
    e2e_tool wait about 100
    e2e_check_eq "the About box is still open" "$E2E_STATUS" 0
    e2e_tool key 27  # Escape closes the menu
    e2e_tool gone menu 5000
    e2e_check_eq "Escape closes the tray menu" "$E2E_STATUS" 0
    # Only one settings dialog: a second 구성정보 opens no other.
    e2e_tool post "$kWmCommand" "$kIdTrayConfig"
    sleep 1
    press settings 2
    e2e_tool wait settings 1000
    e2e_check_eq "one settings dialog at a time" "$E2E_STATUS" 1
    press about 1
    quit_driver
}

e2e_locale "${1:?LOCALE}"
e2e_setup
e2e_tool codepage
case "$1" in
C) e2e_check_eq "ANSI code page in the C locale" "$E2E_OUT" "acp=1252" ;;
*) e2e_check_eq "ANSI code page in $1" "$E2E_OUT" "acp=949" ;;
esac
case "${2:-}" in
startup) case_startup ;;
noprinter) case_noprinter ;;
settings) case_settings ;;
printer) case_printer ;;
unanswered) case_unanswered ;;
busy) case_busy ;;
*) e2e_abort "unknown case '${2:-}'" ;;
esac
e2e_finish
