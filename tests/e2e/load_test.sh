#!/usr/bin/env bash
# load_test.sh: lodevar.exe under Wine with a family 0 printer emulator on COM1, and at once
#   - 20 pbclient processes, each on a gate of its own, each queueing 50 requests without waiting
#     (25 prints of a line of its own, each after a pitch change), then staying registered until the
#     test says every line is in;
#   - one client sending immediate requests all the while.
# Checks: every queued print is on the emulator's page exactly once, in the order its client queued
# it; every queued pitch change reached the printer; the driver set the wait event once per queued
# request (its debugger channel, read through Wine's debugstr channel: the event is one for every
# client and keeps one signal, so the clients cannot count it); every immediate request was answered,
# its prints on the page exactly when they answered 1. The load runs twice; the driver's private
# memory after each run is within 10% of what it was before the first. docs/failure-modes.md says
# how the memory is read and why.
# Needs PBCLIENT, LODEVAR_EXE, DESKTOP_TOOL and what harness.sh needs.
source "$(dirname "$0")/harness.sh"

readonly kPbclient=${PBCLIENT:?PBCLIENT names pbclient.exe}
readonly kTab=$'\t'
readonly kClients=20
readonly kPrints=25 # each after a pitch change: 50 requests per client


# driver_unix_pid: the Linux process of our lodevar.exe: the Wine process whose command line starts
# with its path (other drivers may run on the machine, in other prefixes).
driver_unix_pid() {
    local entry
    for entry in /proc/[0-9]*; do
        if tr '\0' ' ' <"$entry/cmdline" 2>/dev/null | grep -qF "$E2E_APP/lodevar.exe "; then
            [[ "$(tr '\0' ' ' <"$entry/cmdline")" == "$E2E_APP/lodevar.exe "* ]] || continue
            echo "${entry#/proc/}"
            return
        fi
    done
}

# memory LABEL: the private memory the driver has committed (desktop-tool memory: the sum of its
# committed private regions, Windows' "private bytes") into MEMORY_KB, with the Linux figure of its
# anonymous resident memory logged beside it.
memory() {
    e2e_tool memory "$(e2e_driver_pid)"
    [[ "$E2E_OUT" =~ ^committed=([0-9]+)\  ]] || e2e_abort "no memory figure for the driver: '$E2E_OUT'"
    MEMORY_KB=$((BASH_REMATCH[1] / 1024))
    e2e_log "memory $1: committed private ${MEMORY_KB} kB ($E2E_OUT); RssAnon of the Wine process" \
        "$(awk '/^RssAnon:/ { print $2 }' "/proc/$DRIVER_UNIX_PID/status") kB"
}

e2e_locale C
e2e_setup
E2E_LINES=$E2E_TMP/lines
e2e_start_emu com1 0 --lines-file "$E2E_LINES" --verbose
E2E_EMU_STDERR=$E2E_TMP/emu-com1/stderr
e2e_emu com1 insert passbook
e2e_install_driver
# The driver's trace records (OutputDebugString) appear on its standard error.
export WINEDEBUG=+debugstr
e2e_launch
export WINEDEBUG=${LODEVAR_WINEDEBUG:--all}
e2e_launched
e2e_check_eq "the launcher is released after the open" "$E2E_LAUNCH" signalled
DRIVER_UNIX_PID=$(driver_unix_pid)
[ -n "$DRIVER_UNIX_PID" ] || e2e_abort "no Linux process for lodevar.exe"

# client_output FILE: what a client that failed printed, for the log (the folder is deleted after).
client_output() {
    e2e_log "its output, first and last lines:"
    { head -n 5 "$1.out"; echo ...; tail -n 5 "$1.out"; } | tr -d '\r' >&2
    e2e_log "its errors:"
    tail -n 20 "$1.err" >&2
}

# load_round R: one run of the load; the texts of round R start with "rR".
load_round() {
    local round=$1 c n file
    local signals_before pitches_before
    signals_before=$(grep -c "Lodevar gate SIGNAL" "$E2E_TMP/launch.err")
    pitches_before=$(grep -o "1b 3d" "$E2E_EMU_STDERR" | wc -l)
    # The sessions: register, 25 times a pitch change and a print, all queued without waiting;
    # then stay registered until the release file appears.
    local release=$E2E_TMP/release-$round
    local pids=()
    local started
    started=$(now_ms)
    for c in $(seq -w 1 $kClients); do
        file=$E2E_TMP/load-$round-$c
        {
            echo register
            for n in $(seq -w 1 $kPrints); do
                echo "--queued --nowait pitch 10 6"
                echo "--queued --nowait print $n $(((10#$c - 1) * 4)) 3 r${round}c${c}n$n"
            done
            echo "wait-file $(windows_path "$release") 170"
        } >"$file"
        timeout -k 5 200 wine "$kPbclient" --timeout 60 session "$(windows_path "$file")" \
            </dev/null >"$file.out" 2>"$file.err" &
        pids+=("$!")
        E2E_PIDS+=("$!")
    done

    # The immediate client: a pitch change and a print, again and again, while the queues run.
    file=$E2E_TMP/immediate-$round
    {
        echo register
        for n in $(seq -w 1 40); do
            echo "pitch 10 6"
            echo "print $n 90 3 r${round}i$n"
            echo "sleep 250"
        done
    } >"$file"
    timeout -k 5 200 wine "$kPbclient" --timeout 60 session "$(windows_path "$file")" \
        </dev/null >"$file.out" 2>"$file.err" &
    local immediate_job=$!
    E2E_PIDS+=("$immediate_job")

    # Every queued line on the page, bounded by 150 s of the clock (the clients wait 170 s for the
    # release, so a missing line fails only its own checks).
    local expected=$((kClients * kPrints)) queued_lines
    while [ $(($(now_ms) - started)) -lt 150000 ]; do
        queued_lines=$(grep -c -E $'\t'"r${round}c[0-9]{2}n[0-9]{2}$" "$E2E_LINES")
        [ "${queued_lines:-0}" -ge "$expected" ] && break
        sleep 0.1
    done
    e2e_log "round $round: ${queued_lines:-0} of $expected queued prints on the page after $(($(now_ms) - started)) ms"
    touch "$release"
    local failed_clients=0 index status
    for index in "${!pids[@]}"; do
        wait "${pids[$index]}" && continue
        status=$?
        failed_clients=$((failed_clients + 1))
        e2e_log "round $round: client $(printf %02d $((index + 1))) ended with $status"
    done
    wait "$immediate_job"
    local immediate_status=$?
    e2e_log "round $round: every client ended after $(($(now_ms) - started)) ms"
    e2e_check_eq "round $round: queued clients that failed" "$failed_clients" 0

    # Each client: 50 requests taken.
    local out taken
    for c in $(seq -w 1 $kClients); do
        out=$(tr -d '\r' <"$E2E_TMP/load-$round-$c.out")
        taken=$(grep -c "^queued .*${kTab}1${kTab}DONE${kTab}" <<<"$out")
        if [ "$taken" -ne $((2 * kPrints)) ]; then
            e2e_fail "round $round, client $c: $taken of $((2 * kPrints)) requests taken"
            client_output "$E2E_TMP/load-$round-$c"
        fi
    done

    # Every queued print exactly once, and each client's in the order it queued them.
    local page queued order want out_of_order=0
    page=$(cut -f 9 "$E2E_LINES")
    queued=$(grep "^r${round}c[0-9][0-9]n[0-9][0-9]$" <<<"$page")
    e2e_check_eq "round $round: queued prints on the page" "$(wc -l <<<"$queued")" "$expected"
    e2e_check_eq "round $round: queued prints printed twice" "$(sort <<<"$queued" | uniq -d | wc -l)" 0
    for c in $(seq -w 1 $kClients); do
        order=$(grep "^r${round}c${c}n" <<<"$queued" | tr '\n' ' ')
        want=$(for n in $(seq -w 1 $kPrints); do printf 'r%sc%sn%s ' "$round" "$c" "$n"; done)
        if [ "$order" != "$want" ]; then
            out_of_order=$((out_of_order + 1))
            e2e_log "round $round, client $c printed in the order: $order"
        fi
    done
    e2e_check_eq "round $round: clients whose lines are out of order" "$out_of_order" 0

    # Every pitch change reached the printer (ESC '=': the driver always asks for 12 cpi), and the
    # event was set once per queued request.
    local immediate_out immediate_pitches pitches signals
    immediate_out=$(tr -d '\r' <"$E2E_TMP/immediate-$round.out")
    immediate_pitches=$(grep -c "^C10060000${kTab}1${kTab}" <<<"$immediate_out")
    pitches=$(($(grep -o "1b 3d" "$E2E_EMU_STDERR" | wc -l) - pitches_before))
    e2e_check_eq "round $round: pitch changes that reached the printer" "$pitches" $((expected + immediate_pitches))
    signals=$(($(grep -c "Lodevar gate SIGNAL" "$E2E_TMP/launch.err") - signals_before))
    e2e_check_eq "round $round: wait events set" "$signals" $((2 * expected))

    # The immediate client: every request answered at once, done or busy; its lines printed exactly
    # when they were done.
    e2e_check_eq "round $round: the immediate client's exit code is 0 or 1 (busy answers)" \
        "$((immediate_status <= 1))" 1
    e2e_check_eq "round $round: immediate requests answered done or busy" \
        "$(grep -c -E "^[CL][0-9]+.*${kTab}(1${kTab}DONE|85${kTab}BANK_ACTING)${kTab}" <<<"$immediate_out")" 80
    local done_prints on_page
    done_prints=$(grep -E "^L[0-9]{2}903005r${round}i[0-9]{2}${kTab}1${kTab}" <<<"$immediate_out" |
        cut -c 10-14 | sort | tr '\n' ' ')
    on_page=$(grep "^r${round}i[0-9][0-9]$" <<<"$page" | sort | tr '\n' ' ')
    e2e_check_eq "round $round: the immediate prints on the page are those answered done" "$on_page" "$done_prints"
    e2e_log "round $round: immediate requests done: $(grep -c "${kTab}1${kTab}DONE" <<<"$immediate_out") of 80"
    sleep 2
    e2e_tool main
    e2e_check_match "round $round: every gate released" "$E2E_OUT" " gates=0$"
}

memory "at the start"
start_kb=$MEMORY_KB
load_round 1
memory "after the first run"
first_kb=$MEMORY_KB
load_round 2
memory "after the second run"
e2e_log "memory (committed private): start ${start_kb} kB, after the first run ${first_kb} kB," \
    "after the second ${MEMORY_KB} kB"
e2e_check_range "memory after the first run, in % of the start" "$((first_kb * 100 / start_kb))" 0 110
e2e_check_range "memory after the second run, in % of the start" "$((MEMORY_KB * 100 / start_kb))" 0 110

e2e_tool quit 20000
e2e_check_eq "WM_CLOSEQUIET ends the driver" "$E2E_OUT" "exit=0"
# The trace records have been counted; what else the driver wrote (a crash report) stays for the log.
grep -v ':debugstr:' "$E2E_TMP/launch.err" >"$E2E_TMP/launch.rest"
mv "$E2E_TMP/launch.rest" "$E2E_TMP/launch.err"
e2e_finish
