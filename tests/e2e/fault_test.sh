#!/usr/bin/env bash
# fault_test.sh CASE: lodevar.exe under Wine against the printer emulator (or the fake printer
# library), driven through pbclient.exe, while something goes wrong. docs/failure-modes.md gives the
# outcome each case checks.
#   unplug0, unplug1  the printer unplugged while a request waits for it (family 0: a print waiting
#                     for its passbook; family 1: a stripe read, which waits through every code):
#                     242 at once, the driver stays up and closes the device; with the printer still
#                     gone the next request opens, fails and asks; after "아니오" requests answer 242
#                     without opening; after the printer is back the tray's initialise opens it
#   flood             a printer that sends noise without end: an eject ends at once (241 from the
#                     status); a client waiting for stripe data gets it, the noise dropped around
#                     the printer's whole answer, and another client registers meanwhile
#   library           the printer library missing, lacking an export, reporting power off (MODEL=2):
#                     the open on the first request shows what each shows, asks, and answers 242
#   deadqueue         a client killed while its queued requests wait: they run, in order, without
#                     setting the event another client waits on, and the driver keeps serving others
#   deadadvise        a client killed, and one stopped (hung), while they wait for stripe data: the
#                     reply to the dead one is dropped, the one to the hung one given up after 5 s,
#                     during which another client's requests are answered busy at once
#   closequiet        WM_CLOSEQUIET while a paper-in waits: the request answers 242, queued requests
#                     of another client are dropped, the driver ends with exit code 0
#   files             a whole session (open, every request letter, the advise reply, the settings
#                     dialog, the close): the only file written in the program folder and the whole
#                     Wine prefix is User\CommData.ini
# The flood case counts the noise on the emulator's wire log. Every case ends by checking that the
# driver neither crashed nor raised an exception that Wine swallowed. A printer that falls silent,
# answers garbage or cuts its frames short, and two clients' fonts, are pinned by native tests
# (docs/failure-modes.md names them): what those cases would add here is the same protocol over the
# same serial path that these cases run.
# Needs PBCLIENT, LODEVAR_EXE, DESKTOP_TOOL, FAKE_LIBRARY, FAKE_LIBRARY_NO_FILEPRINTING
# and what harness.sh needs.
source "$(dirname "$0")/harness.sh"

readonly kPbclient=${PBCLIENT:?PBCLIENT names pbclient.exe}
readonly kTab=$'\t'
readonly kWmCommand=273
readonly kIdTrayInit=32775
readonly kNoAnswer="242${kTab}ERR_PBPROFF${kTab}Response가 없다"


# driver_up WHAT: the driver's main window answers, with N gates when given.
driver_up() {
    e2e_tool main 5000
    e2e_check_match "$1" "$E2E_OUT" "^window=[0-9a-f]+ pid=$(e2e_driver_pid) visible=0 .*${2:+ gates=$2}$"
}

# launch_driver [ARG...]: e2e_launch, with Wine telling on the driver's standard error of an
# exception it swallowed: one raised in a window procedure does not end the program (the message
# answers 0), and Wine reports it only as an error of its "seh" channel. The "seh" trace names
# where each exception was raised (see swallowed_exceptions).
launch_driver() {
    WINEDEBUG=$WINEDEBUG,err+seh,trace+seh e2e_launch "$@"
}

# swallowed_exceptions FILE: the addresses of the exceptions Wine swallowed in the driver, one a
# line, each with "wine" after it when it was raised in Wine's own Unix-side code (at and above
# 0x7f0000000000, where no code of a Windows program lies).
swallowed_exceptions() {
    # Lines start with the thread's number: an exception is matched with the last one raised on
    # the same thread.
    awk '{ thread = substr($0, 1, index($0, ":") - 1) }
         /trace:seh:dispatch_exception code=/ {
             for (i = 1; i <= NF; ++i) if ($i ~ /^addr=/) addr[thread] = substr($i, 6)
         }
         /err:seh:KiUserCallbackDispatcher ignoring exception/ {
             a = addr[thread]
             printf "%s%s\n", (a == "" ? "unknown" : a), (length(a) == 16 && a >= "00007F0000000000") ? " wine" : ""
         }' "$1"
}

# start_driver FAMILY [EMU ARG...]: the emulator of FAMILY on COM1 (page and lines files) and the
# driver, which has opened the printer when this returns.
start_driver() {
    local family=$1
    shift
    E2E_PAGE=$E2E_TMP/page
    E2E_LINES=$E2E_TMP/lines
    e2e_start_emu com1 "$family" --page-file "$E2E_PAGE" --lines-file "$E2E_LINES" "$@"
    e2e_install_driver
    if [ -n "${FAULT_DRIVER_LOG:-}" ]; then
        # The driver's diagnostics log, shown if a check fails.
        mkdir -p "$E2E_APP/User"
        printf '[Lodevar]\r\nLOG=1\r\n' >"$E2E_APP/User/CommData.ini"
    fi
    launch_driver
    e2e_launched
    e2e_check_eq "the launcher is released after the open" "$E2E_LAUNCH" signalled
}

# printed_rows: the rows and texts of the printed runs, "row:text" separated by blanks.
printed_rows() {
    [ -f "$E2E_LINES" ] || return 0
    cut -f 2,9 "$E2E_LINES" | tr '\t\n' ': '
}

# ---- the wire as the emulator logs it (start_driver ... --verbose) -------------------------------
# One line per transfer, stamped with the emulator's clock: "    1234 ms -> 1b 6a" for bytes the
# driver wrote, "<-" for bytes the printer sent. The wire_ functions look at the lines since
# wire_mark.

wire_mark() {
    E2E_WIRE=$E2E_TMP/emu-com1/stderr
    WIRE_MARK=$(wc -l <"$E2E_WIRE")
}

wire_since() {
    tail -n "+$((WIRE_MARK + 1))" "$E2E_WIRE"
}

# wire_bytes DIRECTION: the bytes that went DIRECTION (-> or <-), each followed by a blank.
wire_bytes() {
    wire_since | sed -n "s/^ *[0-9]* ms $1 //p" | tr '\n' ' '
}

case_unplug() {
    local family=$1
    FAULT_DRIVER_LOG=1 start_driver "$family"
    # Family 0: a print waits for its passbook. Family 1: a stripe read waits through every code.
    local request="print 2 4 3 before" answer="L02043006before"
    if [ "$family" -eq 1 ]; then
        request="msr-read" answer="R00000000"
    fi
    client_start waiting --timeout 60 session "$(session_file register "$request")"
    await_output waiting "^register$kTab"
    sleep 3
    local unplugged
    unplugged=$(now_ms)
    e2e_emu com1 unplug
    client_wait waiting
    local took=$(($(now_ms) - unplugged))
    e2e_log "the waiting request ended $took ms after the unplug"
    has_line "the waiting request answers 242" "$E2E_OUT" "$answer$kTab$kNoAnswer"
    # The client's own end and release under Wine take about a second of this.
    e2e_check_range "milliseconds from the unplug to the client's end" "$took" 0 4000
    driver_up "the driver stays up after the unplug" 0

    # Still unplugged: the next request opens the device, which fails on both ports, and asks.
    client_start next session "$(session_file "paper-in passbook")"
    e2e_tool wait question 20000
    e2e_check_eq "the next request's open asks" "$E2E_STATUS" 0
    e2e_tool press question 2
    client_wait next
    has_line "the next request answers 242" "$E2E_OUT" "I00000000$kTab$kNoAnswer"
    e2e_check_match "with the end-of-print notice" "$E2E_OUT" "print-end${kTab}242${kTab}"

    # After "아니오" the device stays closed: requests answer 242 without opening or asking.
    client paper-in passbook
    e2e_check_eq "after 아니오 a request answers 242 at once" "$E2E_OUT" "I00000000$kTab$kNoAnswer"
    e2e_tool wait question 1000
    e2e_check_eq "and asks nothing" "$E2E_STATUS" 1

    # The printer is back: the tray's initialise opens it, and requests work again.
    e2e_emu com1 replug
    e2e_tool post "$kWmCommand" "$kIdTrayInit"
    e2e_tool wait question 4000
    e2e_check_eq "the initialise after the replug opens without a question" "$E2E_STATUS" 1
    e2e_emu com1 insert passbook
    client print 3 4 3 after
    e2e_check_eq "a print after the replug" "$E2E_OUT" "L03043005after${kTab}1${kTab}DONE${kTab}done"
    e2e_check_eq "the page holds only the line printed after the replug" "$(printed_rows)" "3:after "
    driver_up "the driver is still up" 0
}

case_flood() {
    start_driver 0 --verbose
    e2e_emu com1 flood on
    local started
    started=$(now_ms)
    client eject
    e2e_check_eq "an eject during a flood ends" "$E2E_OUT" "O00000000${kTab}1${kTab}DONE${kTab}done"
    e2e_check_range "milliseconds of the eject during the flood" "$(($(now_ms) - started))" 0 5000
    # The advise poll asks once a second; the bytes before the printer's answer are noise and are
    # dropped, the answer itself comes through whole.
    wire_mark
    e2e_emu com1 insert passbook
    client_start stripe --timeout 60 session "$(session_file register "advise --wait 40")"
    await_output stripe "^A00000000$kTab"
    # Another client registers meanwhile (a printer request would end the wait for the stripe).
    client session "$(session_file register)"
    e2e_check_match "another client registers during the flood" "$E2E_OUT" "^register${kTab}1${kTab}DONE${kTab}"
    client_wait stripe
    e2e_check_eq "the stripe through the noise" "$(grep '^advise-reply' <<<"$E2E_OUT")" \
        "advise-reply${kTab}1${kTab}DONE${kTab}016 0000000000000000"
    # 10 bytes every 10 ms while the stripe was awaited (at least a second of it).
    e2e_check_range "bytes of noise the printer sent meanwhile" "$(wire_bytes '<-' | wc -w)" 1000 10000000
    driver_up "the driver is up during the flood" 0
    e2e_emu com1 flood off
}

# library_case WHAT DLL|"" BOX: MODEL=2 with DLL as the library (none when empty); the first
# request's open shows BOX (error: the library's or the power box, once per attempt; none: nothing)
# and then asks.
library_case() {
    local what=$1 dll=$2 box=$3
    e2e_install_driver
    [ -n "$dll" ] && cp "$dll" "$E2E_APP/VSK_ALL.dll"
    mkdir -p "$E2E_APP/User"
    printf '[Lodevar]\r\nPORT=1\r\nMODEL=2\r\n' >"$E2E_APP/User/CommData.ini"
    launch_driver /noinit
    e2e_launched
    client_start "lib-$what" session "$(session_file register "paper-in passbook")"
    local shown=""
    if [ "$box" = error ]; then
        local attempt
        for attempt in 1 2; do
            e2e_tool wait error 20000
            e2e_check_eq "$what: the message of attempt $attempt" "$E2E_STATUS" 0
            shown+=$(grep -m 1 '^65535 Static' <<<"$E2E_OUT")$'\n'
            e2e_tool press error 1
            e2e_tool gone error 5000
        done
    fi
    e2e_tool wait question 20000
    e2e_check_eq "$what: the question" "$E2E_STATUS" 0
    e2e_tool press question 2
    client_wait "lib-$what"
    has_line "$what: the request answers 242" "$E2E_OUT" "I00000000$kTab$kNoAnswer"
    e2e_check_match "$what: with the end-of-print notice" "$E2E_OUT" "print-end${kTab}242${kTab}"
    driver_up "$what: the driver stays up"
    e2e_tool quit 20000
    e2e_check_eq "$what: WM_CLOSEQUIET ends the driver" "$E2E_OUT" "exit=0"
    LIBRARY_SHOWN=$shown
}

case_library() {
    library_case missing "" error
    e2e_check_eq "missing: the library's message, once per attempt" \
        "$(grep -c '^65535 Static .* text=통장인쇄기 제조사의 인쇄 모듈을 실행할 수 없습니다' <<<"$LIBRARY_SHOWN")" 2
    library_case incomplete "${FAKE_LIBRARY_NO_FILEPRINTING:?}" none
    export FAKE_PBPR_POWER=0
    library_case poweroff "${FAKE_LIBRARY:?}" error
    e2e_check_eq "poweroff: the power message, once per attempt" "$LIBRARY_SHOWN" \
        "65535 Static visible=1 enabled=1 checked=-1 limit=-1 text=전원이 켜져있지 않거나, 케이블을 확인하시기 바랍니다.
65535 Static visible=1 enabled=1 checked=-1 limit=-1 text=전원이 켜져있지 않거나, 케이블을 확인하시기 바랍니다.
"
    unset FAKE_PBPR_POWER
}

case_deadqueue() {
    start_driver 0
    # Five prints queued behind a paper-in that waits for the passbook; the client dies meanwhile.
    client_start doomed session "$(session_file \
        "--queued --nowait paper-in passbook" \
        "--queued --nowait print 2 0 3 one" \
        "--queued --nowait print 3 0 3 two" \
        "--queued --nowait print 4 0 3 three" \
        "--queued --nowait print 5 0 3 four" \
        "--queued --nowait print 6 0 3 five" \
        "sleep 60000")"
    await_output doomed "^queued L06003004five$kTab"
    local pid
    pid=$(client_pid doomed)
    [ -n "$pid" ] || e2e_abort "no process for the client"
    kill -KILL "$pid"
    client_wait doomed
    e2e_log "the client was killed (exit code $E2E_STATUS)"
    driver_up "the driver keeps the dead client's gate" 1
    # The queued requests run, in order; nobody is left to be signalled. The event is one for every
    # client: another client waiting on it would see a signal set for the dead one.
    client_start watcher session "$(session_file "wait-event 6")"
    e2e_emu com1 insert passbook
    for _ in $(seq 100); do
        [ "$(wc -l <"$E2E_LINES" 2>/dev/null)" = 5 ] && break
        sleep 0.2
    done
    e2e_check_eq "the dead client's requests ran in order" "$(printed_rows)" "2:one 3:two 4:three 5:four 6:five "
    client print 8 0 3 alive
    e2e_check_eq "another client is served" "$E2E_OUT" "L08003005alive${kTab}1${kTab}DONE${kTab}done"
    if kill -0 "${CLIENT_JOB[watcher]}" 2>/dev/null; then
        e2e_log "ok: another client still waits for the event after the dead client's requests ran"
    else
        e2e_fail "the other client's wait for the event ended before the dead client's requests had run"
    fi
    client_wait watcher
    e2e_check_eq "no signal for the dead client" "$E2E_OUT" \
        "wait-event${kTab}-1005${kTab}LVC_E_TIMEOUT${kTab}no answer in time"
}

case_deadadvise() {
    start_driver 0 --verbose
    local wire=$E2E_TMP/emu-com1/stderr
    # One client waits for stripe data and is killed; the next one waits and stops (a hung program).
    client_start dead session "$(session_file "advise" "sleep 60000")"
    await_output dead "^A00000000$kTab"
    kill -KILL "$(client_pid dead)"
    client_wait dead
    e2e_emu com1 insert passbook
    await_stripe_sent "$wire" 1
    client eject
    e2e_check_eq "after the stripe for a dead client the driver serves the next request" "$E2E_OUT" \
        "O00000000${kTab}1${kTab}DONE${kTab}done"

    client_start hung session "$(session_file "advise" "sleep 60000")"
    await_output hung "^A00000000$kTab"
    local hung
    hung=$(client_pid hung)
    kill -STOP "$hung"
    # Another client, registered before the stripe comes, asks every 300 ms from the moment the
    # printer sends it (a printer request before then would end the wait for the stripe), for well
    # beyond the 5 s the driver gives the hung client.
    local go=$E2E_TMP/go asks=()
    for _ in {1..24}; do
        asks+=("pitch 10 6" "sleep 300")
    done
    client_start asker --timeout 60 session \
        "$(session_file register "wait-file $(windows_path "$go") 60" "${asks[@]}")"
    await_output asker "^register$kTab"
    e2e_emu com1 insert passbook
    await_stripe_sent "$wire" 2
    local sent
    sent=$(now_ms)
    touch "$go"
    stamp_output asker
    client_wait asker
    # The poll has read the stripe and sends the reply, which nobody takes. Until the driver gives up
    # (5 s) each request is answered busy at once, never held; then they are served.
    local stamped=$E2E_TMP/asker.stamped answers served
    answers=$(awk -F '\t' '$2 ~ /^C1006/ { printf "%s ", $3 }' "$stamped")
    e2e_log "the answers while and after the driver waited for the hung client: $answers"
    e2e_check_match "the answers: busy while the driver waits for the hung client, then done" \
        "$answers" '^(85 )+(1 )+$'
    served=$(awk -F '\t' -v sent="$sent" '$2 ~ /^C1006/ && $3 == 1 { print $1 - sent; exit }' "$stamped")
    e2e_check_range "milliseconds from the stripe to the first request served" "${served:--1}" 4000 8000
    e2e_check_range "the longest milliseconds between two answers (each after a pause of 300)" \
        "$(awk -F '\t' 'NR > 2 && $1 - last > most { most = $1 - last } { last = $1 } END { print most + 0 }' \
            "$stamped")" 0 2000
    kill -CONT "$hung"
    kill -KILL "$hung"
    client_wait hung
    driver_up "the driver is up after the hung client"
}

# stamp_output NAME: while client NAME runs, notes when each line of its output appears, as
# "MS<TAB>LINE" lines in $E2E_TMP/NAME.stamped (MS on the clock of now_ms, to 50 ms or so).
stamp_output() {
    local out=$E2E_TMP/$1.out seen=0 count now running
    : >"$E2E_TMP/$1.stamped"
    while :; do
        running=0
        kill -0 "${CLIENT_JOB[$1]}" 2>/dev/null && running=1
        count=$(wc -l <"$out")
        if [ "$count" -gt "$seen" ]; then
            now=$(now_ms)
            sed -n "$((seen + 1)),${count}p" "$out" | tr -d '\r' | sed "s/^/$now\t/" >>"$E2E_TMP/$1.stamped"
            seen=$count
        fi
        [ "$running" = 1 ] || break
        sleep 0.05
    done
}

# await_stripe_sent WIRE N: waits up to 10 s until the emulator has sent its Nth stripe frame
# (STX ESC 's'), as its --verbose wire log on WIRE shows.
await_stripe_sent() {
    for _ in $(seq 100); do
        [ "$(grep -c -- '<- 02 1b 73' "$1")" -ge "$2" ] && return 0
        sleep 0.1
    done
    e2e_fail "no stripe frame number $2 from the printer within 10 s"
}

case_closequiet() {
    start_driver 0
    client_start waiting session "$(session_file register "paper-in passbook")"
    await_output waiting "^register$kTab"
    sleep 1
    # Another client's queued prints wait behind the paper-in.
    client_start queued --timeout 20 session "$(session_file \
        "--queued --nowait print 2 0 3 never" "--queued --nowait print 3 0 3 dropped" "wait-event 15")"
    await_output queued "^queued L03003007dropped$kTab"
    local asked
    asked=$(now_ms)
    e2e_tool quit 20000
    e2e_check_eq "WM_CLOSEQUIET ends the driver while a request waits" "$E2E_OUT" "exit=0"
    e2e_check_range "milliseconds to the driver's end" "$(($(now_ms) - asked))" 0 8000
    # Had the queued requests run, the driver would have set the event before it ended.
    if kill -0 "${CLIENT_JOB[queued]}" 2>/dev/null; then
        e2e_log "ok: the other client still waits for the event when the driver has ended"
    else
        e2e_fail "the other client's wait for the event ended before the driver did"
    fi
    client_wait waiting
    has_line "the waiting request answers 242" "$E2E_OUT" "I00000000$kTab$kNoAnswer"
    client_wait queued
    has_line "the queued requests are dropped: no signal" "$E2E_OUT" \
        "wait-event${kTab}-1005${kTab}LVC_E_TIMEOUT${kTab}no answer in time"
}

case_files() {
    E2E_LINES=$E2E_TMP/lines
    e2e_start_emu com1 0 --lines-file "$E2E_LINES"
    e2e_install_driver
    local marker=$E2E_TMP/marker
    touch "$marker"
    sleep 1
    launch_driver
    e2e_launched
    e2e_check_eq "the launcher is released after the open" "$E2E_LAUNCH" signalled
    e2e_emu com1 insert passbook 1000
    e2e_emu com1 insert passbook 2500
    client session "$(session_file register "paper-in passbook" "pitch 10 6" "print 2 0 1 one" \
        "print 3 0 4 two" "msr-write 1234" msr-read eject "advise --wait 20" unadvise \
        "--queued print 4 0 3 three" reset "--queued eject")"
    e2e_check_eq "the session" "$E2E_STATUS" 0
    e2e_tool post "$kWmCommand" 32776
    e2e_tool wait settings 10000
    e2e_tool press settings 2
    e2e_tool quit 20000
    e2e_check_eq "WM_CLOSEQUIET ends the driver" "$E2E_OUT" "exit=0"
    # The whole prefix, C:\ and C:\windows included, and the program folder (on Z:). Wine's own
    # registry files in the prefix's top folder are left out: Wine saves them whenever it likes.
    local written
    written=$( (find "$E2E_APP" "$WINEPREFIX" -type f -newer "$marker" -not -path "$WINEPREFIX/*.reg" |
        sed -e "s|^$WINEPREFIX/drive_c/|C:/|" -e "s|^$WINEPREFIX/|prefix/|" -e "s|^$E2E_APP/|app/|" |
        sort | tr '\n' ' ') 2>&1)
    e2e_check_eq "files written during the session" "$written" "app/User/CommData.ini "
}

e2e_locale C
e2e_setup
case "${1:-}" in
unplug0) case_unplug 0 ;;
unplug1) case_unplug 1 ;;
flood) case_flood ;;
library) case_library ;;
deadqueue) case_deadqueue ;;
deadadvise) case_deadadvise ;;
closequiet) case_closequiet ;;
files) case_files ;;
*) e2e_abort "unknown case '${1:-}'" ;;
esac
# Whatever went wrong, the driver must not have crashed, nor raised an exception that Wine swallowed.
# Wine 8 itself now and then reads through a null pointer in its Unix-side code during a callback
# into the driver (seen in the library case, with its message boxes, in about one run in eight);
# an exception raised there is Wine's, is logged, and fails nothing.
if [ -f "$E2E_TMP/launch.err" ]; then
    if grep -q "Unhandled exception\|wine: Unhandled\|Assertion" "$E2E_TMP/launch.err" ||
        grep "err:seh" "$E2E_TMP/launch.err" | grep -qv "KiUserCallbackDispatcher ignoring exception"; then
        e2e_fail "the driver crashed"
    fi
    swallowed=$(swallowed_exceptions "$E2E_TMP/launch.err")
    if [ -n "$swallowed" ] && grep -qv " wine$" <<<"$swallowed"; then
        e2e_fail "the driver raised an exception that Wine swallowed (at: $(tr '\n' ' ' <<<"$swallowed"))"
    elif [ -n "$swallowed" ]; then
        e2e_log "Wine's own code faulted and went on (at: $(tr '\n' ' ' <<<"$swallowed"))"
    fi
fi
e2e_finish
