# The end-to-end harness, sourced by every e2e test script. It gives a test:
#   - a Wine prefix of our own, made once (under a lock) with COM1 and COM2 mapped to fixed symlinks
#     inside it, so that a test only re-points a symlink and never restarts wineserver;
#   - the printer emulator on a pseudo-terminal behind COM1 or COM2;
#   - bounded runs of Windows programs and checks that count failures;
#   - cleanup of everything it started, whatever way the test ends.
#
# Environment (CTest sets the first three):
#   LODEVAR_BUILD_DIR     the mingw build folder (default: the current folder)
#   LODEVAR_EMU           the native emulator tool (lodevar-emu)
#   LODEVAR_WINE_PREFIX   the prefix to use (default: $LODEVAR_BUILD_DIR/wine-prefix)
#   LODEVAR_WINEDEBUG     WINEDEBUG for the programs run (default: -all)
#   LODEVAR_E2E_RUN_TIMEOUT  seconds a Windows program may run (default: 60)
#   LODEVAR_E2E_EMU_LIFETIME seconds an emulator may run (default: 300)
# For the driver itself (CTest sets them too):
#   LODEVAR_EXE, DESKTOP_TOOL, KOVASK  lodevar.exe, the desktop tool (also the launcher) and the
#                         stand-in monitor program
#
# Functions: e2e_setup, e2e_start_emu, e2e_emu, e2e_point_port, e2e_unplug, e2e_run, e2e_check_eq,
# e2e_check_match, e2e_check_range, e2e_finish; for the driver: e2e_locale, e2e_install_driver,
# e2e_launch, e2e_launched, e2e_tool, e2e_driver_pid.

set -uo pipefail

E2E_BUILD_DIR=${LODEVAR_BUILD_DIR:-$PWD}
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/lodevar-e2e.XXXXXX")
E2E_FAILURES=0
E2E_PIDS=()
E2E_DRIVER_PIDS=()
declare -A E2E_EMU_PID=() E2E_EMU_FD=() E2E_EMU_PTY=()

export WINEPREFIX=${LODEVAR_WINE_PREFIX:-$E2E_BUILD_DIR/wine-prefix}
export WINEDEBUG=${LODEVAR_WINEDEBUG:--all}
# No menu entries or file associations on the host, and no offer to install Mono or Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
E2E_PORTS=$WINEPREFIX/ports
# What an unplugged port points at. Under Wine 8 a COM port whose link dangles still opens (the
# open reaches Wine's own serial device object) and fails only when its line settings are set;
# a link to a folder makes the open itself fail, as a port the machine does not have.
E2E_NOWHERE=$E2E_TMP/no-device
mkdir -p "$E2E_NOWHERE"

e2e_log() {
    echo "e2e: $*" >&2
}

e2e_fail() {
    e2e_log "FAIL: $*"
    E2E_FAILURES=$((E2E_FAILURES + 1))
}

# Ends the test at once: the harness itself could not do its part.
e2e_abort() {
    e2e_log "ABORT: $*"
    exit 1
}

e2e_cleanup() {
    local pid
    # The driver is resident: it outlives the launcher that started it, so it is ended here, by
    # the process ids the launcher reported and by its window.
    if [ -n "${E2E_TOOL_READY:-}" ]; then
        timeout -k 5 30 wine "$DESKTOP_TOOL" kill "${E2E_DRIVER_PIDS[@]}" </dev/null >/dev/null 2>&1
    fi
    # The driver writes to the launcher's standard error for as long as it runs (Wine's own
    # reports of a crash included).
    if [ -s "$E2E_TMP/launch.err" ]; then
        e2e_log "the launcher and the driver wrote to stderr:"
        cat "$E2E_TMP/launch.err" >&2
    fi
    for pid in "${E2E_PIDS[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${E2E_PIDS[@]}"; do
        # The emulator ends on SIGTERM; one that does not within 2 s is killed.
        for _ in $(seq 20); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    # Leave no port pointing at a pseudo-terminal: its number is soon reused by another program.
    if [ -d "$E2E_PORTS" ]; then
        ln -sfn "$E2E_NOWHERE" "$E2E_PORTS/com1"
        ln -sfn "$E2E_NOWHERE" "$E2E_PORTS/com2"
    fi
    # End the prefix's Wine session with the test: the next test starts a fresh one. In a session
    # that ran on through many tests, requests of later tests were at times never answered
    # (docs/failure-modes.md, "Long Wine sessions").
    timeout -k 5 20 wineserver -k >/dev/null 2>&1
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM

# Makes the prefix once. Parallel tests wait on the lock; only the first one builds it.
e2e_make_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    local lock
    exec {lock}>"$WINEPREFIX.lock"
    flock -w 180 "$lock" || e2e_abort "no lock on $WINEPREFIX.lock within 180 s"
    if [ ! -f "$WINEPREFIX/.lodevar-ports" ]; then
        e2e_log "making the Wine prefix $WINEPREFIX"
        timeout -k 5 120 wineboot -i >"$E2E_TMP/wineboot.log" 2>&1 ||
            { cat "$E2E_TMP/wineboot.log" >&2; e2e_abort "wineboot -i failed"; }
        mkdir -p "$WINEPREFIX/ports"
        local port
        for port in COM1 COM2; do
            # Wine rebuilds dosdevices/com1 and com2 from these values when it starts; the links
            # they name are ours to re-point.
            timeout -k 5 60 wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /t REG_SZ \
                /d "$WINEPREFIX/ports/${port,,}" /f >>"$E2E_TMP/wineboot.log" 2>&1 ||
                { cat "$E2E_TMP/wineboot.log" >&2; e2e_abort "wine reg add $port failed"; }
        done
        timeout -k 5 60 wineserver -k
        timeout -k 5 60 wineserver -w
        touch "$WINEPREFIX/.lodevar-ports"
    fi
    exec {lock}>&-
}

# Call first: checks the tools, makes the prefix and unplugs both ports.
e2e_setup() {
    local tool
    for tool in wine wineboot wineserver flock timeout; do
        command -v "$tool" >/dev/null || e2e_abort "$tool is not installed"
    done
    e2e_make_prefix
    e2e_unplug com1
    e2e_unplug com2
    if [ -n "${DESKTOP_TOOL:-}" ]; then
        E2E_TOOL_READY=1
        # A driver left behind by a test that was killed would answer in this test's place.
        e2e_tool kill
    fi
}

# e2e_point_port PORT TARGET: COM1 or COM2 (given as com1, com2) now opens TARGET.
e2e_point_port() {
    ln -sfn "$2" "$E2E_PORTS/$1" || e2e_abort "cannot link $E2E_PORTS/$1"
}

# e2e_unplug PORT: opening the port fails, as on a machine without that port.
e2e_unplug() {
    e2e_point_port "$1" "$E2E_NOWHERE"
}

# e2e_start_emu PORT FAMILY [ARG...]: runs the printer emulator behind PORT (com1, com2) and waits
# for its pseudo-terminal. Commands go to it with e2e_emu.
e2e_start_emu() {
    local port=$1 family=$2
    shift 2
    local emu=${LODEVAR_EMU:-}
    [ -n "$emu" ] && [ -x "$emu" ] ||
        e2e_abort "no emulator at '${emu}' (build the native preset: cmake --build --preset native)"
    local dir=$E2E_TMP/emu-$port
    mkdir -p "$dir"
    mkfifo "$dir/control"
    # Held open for reading and writing: the open does not wait for the emulator, and the
    # emulator never sees the end of its command stream while the test runs.
    local fd
    exec {fd}<>"$dir/control"
    E2E_EMU_FD[$port]=$fd
    # There before the background job opens it, so that the readiness loop can read it at once.
    : >"$dir/stdout"
    # Bounded in time as well: should the test itself be killed (a CTest time-out sends SIGKILL,
    # which runs no cleanup), the emulator still ends. SIGTERM to `timeout` reaches the emulator.
    timeout -k 2 "${LODEVAR_E2E_EMU_LIFETIME:-300}" \
        "$emu" --family "$family" --link "$E2E_PORTS/$port" --control "$dir/control" "$@" \
        </dev/null >"$dir/stdout" 2>"$dir/stderr" &
    local pid=$!
    E2E_PIDS+=("$pid")
    E2E_EMU_PID[$port]=$pid
    # Ready when the first line is complete and the port's link names its pseudo-terminal.
    local line="" ready=""
    for _ in $(seq 100); do
        if [ "$(wc -l <"$dir/stdout")" -ge 1 ]; then
            line=$(head -n 1 "$dir/stdout")
            if [[ "$line" == "PTY "* ]] && [ "$(readlink "$E2E_PORTS/$port")" = "${line#PTY }" ]; then
                ready=1
                break
            fi
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$ready" ]; then
        cat "$dir/stdout" "$dir/stderr" >&2
        e2e_abort "the emulator on $port was not ready within 10 s (first line: '$line')"
    fi
    E2E_EMU_PTY[$port]=${line#PTY }
    e2e_log "emulator family $family on $port: ${E2E_EMU_PTY[$port]}"
}

# e2e_emu PORT COMMAND...: one command line to the emulator behind PORT.
e2e_emu() {
    local port=$1
    shift
    [ -n "${E2E_EMU_FD[$port]:-}" ] || e2e_abort "no emulator on $port"
    kill -0 "${E2E_EMU_PID[$port]}" 2>/dev/null || e2e_abort "the emulator on $port has ended"
    echo "$*" >&"${E2E_EMU_FD[$port]}"
    # The emulator takes the command in its own loop: give it a moment before the next step.
    sleep 0.2
}

# ---- pbclient (PBCLIENT names pbclient.exe) ----------------------------------------------------

# windows_path PATH: PATH as the Windows programs see it.
windows_path() {
    echo "Z:${1//\//\\}"
}

now_ms() {
    echo $(($(date +%s%N) / 1000000))
}

# session_file LINE...: a session file with one line per argument; prints its Windows path.
session_file() {
    local file=$E2E_TMP/session.$RANDOM$RANDOM
    printf '%s\n' "$@" >"$file"
    windows_path "$file"
}

# client ARG...: runs pbclient and waits for it (E2E_OUT, E2E_STATUS).
client() {
    e2e_run "$PBCLIENT" "$@"
}

# client_start NAME ARG...: pbclient in the background; client_wait NAME collects it (E2E_OUT,
# E2E_STATUS); client_pid NAME is the Linux process of the Windows program itself.
declare -A CLIENT_JOB=()
client_start() {
    local name=$1
    shift
    timeout -k 5 120 wine "$PBCLIENT" "$@" </dev/null >"$E2E_TMP/$name.out" 2>"$E2E_TMP/$name.err" &
    CLIENT_JOB[$name]=$!
    E2E_PIDS+=("$!")
}
client_wait() {
    wait "${CLIENT_JOB[$1]}"
    E2E_STATUS=$?
    E2E_OUT=$(tr -d '\r' <"$E2E_TMP/$1.out")
    if [ -s "$E2E_TMP/$1.err" ]; then
        e2e_log "pbclient $1 wrote to stderr:"
        cat "$E2E_TMP/$1.err" >&2
    fi
}
# await_output NAME PATTERN [SECONDS]: waits for a line of client NAME's output to match PATTERN
# (20 s unless given).
await_output() {
    local tries=$((${3:-20} * 10))
    for _ in $(seq "$tries"); do
        grep -Eq -- "$2" "$E2E_TMP/$1.out" 2>/dev/null && return 0
        sleep 0.1
    done
    e2e_fail "no line matching '$2' from client $1 within ${3:-20} s"
    return 1
}
client_pid() {
    # timeout's child is the Wine loader, which becomes the Windows process.
    ps -o pid= --ppid "${CLIENT_JOB[$1]}" | tr -d ' ' | head -n 1
}

# has_line WHAT TEXT LINE: TEXT holds LINE exactly.
has_line() {
    if grep -Fxq -- "$3" <<<"$2"; then
        e2e_log "ok: $1"
    else
        e2e_fail "$1: no line '$3' in:"$'\n'"$2"
    fi
}

# e2e_run EXE [ARG...]: runs a Windows program under Wine, bounded in time. Sets E2E_OUT (its
# standard output without carriage returns) and E2E_STATUS (its exit code; 124 on time-out).
e2e_run() {
    local out=$E2E_TMP/run.out err=$E2E_TMP/run.err
    # Output goes to files, never to the test's own streams: wineserver and the Wine services
    # inherit the first program's descriptors and outlive it, and CTest would wait for them.
    timeout -k 5 "${LODEVAR_E2E_RUN_TIMEOUT:-60}" wine "$@" </dev/null >"$out" 2>"$err"
    E2E_STATUS=$?
    E2E_OUT=$(tr -d '\r' <"$out")
    if [ "$E2E_STATUS" -eq 124 ]; then
        e2e_log "$1 did not end within ${LODEVAR_E2E_RUN_TIMEOUT:-60} s"
    fi
    if [ -s "$err" ]; then
        e2e_log "$(basename "$1") wrote to stderr:"
        cat "$err" >&2
    fi
}

# e2e_check_eq WHAT ACTUAL EXPECTED
e2e_check_eq() {
    if [ "$2" == "$3" ]; then
        e2e_log "ok: $1"
    else
        e2e_fail "$1: expected '$3', got '$2'"
    fi
}

# e2e_check_match WHAT ACTUAL REGEX
e2e_check_match() {
    if [[ "$2" =~ $3 ]]; then
        e2e_log "ok: $1"
    else
        e2e_fail "$1: '$2' does not match '$3'"
    fi
}

# e2e_check_range WHAT NUMBER MIN MAX
e2e_check_range() {
    if [ "$2" -ge "$3" ] && [ "$2" -le "$4" ]; then
        e2e_log "ok: $1 ($2)"
    else
        e2e_fail "$1: $2 is not within $3 to $4"
    fi
}

# ---- the driver ---------------------------------------------------------------------------------

# e2e_locale LOCALE: the Windows programs run from here on in LOCALE (C, or ko_KR.UTF-8 for a
# Korean machine: ANSI code page 949). Call before e2e_setup.
e2e_locale() {
    if [ "$1" != "C" ] && ! locale -a 2>/dev/null | grep -qix "$(sed 's/UTF-8/utf8/' <<<"$1")"; then
        e2e_abort "the locale $1 is missing (scripts/install-deps.sh makes it)"
    fi
    export LANG=$1 LC_ALL=$1
}

# e2e_tool ARG...: runs the desktop tool, bounded; sets E2E_OUT and E2E_STATUS like e2e_run.
e2e_tool() {
    [ -n "${DESKTOP_TOOL:-}" ] || e2e_abort "DESKTOP_TOOL names desktop-tool.exe"
    e2e_run "$DESKTOP_TOOL" "$@"
}

# e2e_install_driver [--monitor]: a fresh program folder E2E_APP (E2E_APP_WIN as Windows sees it)
# holding lodevar.exe, and with --monitor the stand-in "kovask.exe" beside it.
e2e_install_driver() {
    [ -n "${LODEVAR_EXE:-}" ] && [ -f "$LODEVAR_EXE" ] || e2e_abort "LODEVAR_EXE names lodevar.exe"
    E2E_APP=$E2E_TMP/app
    rm -rf "$E2E_APP"
    mkdir -p "$E2E_APP"
    cp "$LODEVAR_EXE" "$E2E_APP/lodevar.exe"
    if [ "${1:-}" = "--monitor" ]; then
        cp "${KOVASK:?KOVASK names kovask.exe}" "$E2E_APP/kovask.exe"
    fi
    E2E_APP_WIN="Z:${E2E_APP//\//\\}"
}

# e2e_launch [ARG...]: starts the launcher (desktop-tool launch) in the background; it starts the
# driver with the arguments and waits up to 30 s for the start-up signal. e2e_launched collects its answer.
e2e_launch() {
    [ -n "${DESKTOP_TOOL:-}" ] || e2e_abort "DESKTOP_TOOL names desktop-tool.exe"
    : >"$E2E_TMP/launch.out"
    timeout -k 5 60 wine "$DESKTOP_TOOL" launch 30000 "$E2E_APP/lodevar.exe" "$@" \
        </dev/null >"$E2E_TMP/launch.out" 2>"$E2E_TMP/launch.err" &
    E2E_LAUNCHER=$!
    E2E_PIDS+=("$E2E_LAUNCHER")
}

# e2e_launch_waiting: true while the launcher is still waiting for the start-up signal.
e2e_launch_waiting() {
    kill -0 "$E2E_LAUNCHER" 2>/dev/null && [ ! -s "$E2E_TMP/launch.out" ]
}

# e2e_launched: waits for the launcher; sets E2E_LAUNCH (its line without the pid), E2E_LAUNCH_MS
# (milliseconds to the signal, when signalled) and records the driver's process id.
e2e_launched() {
    wait "$E2E_LAUNCHER" 2>/dev/null
    local line
    line=$(tr -d '\r' <"$E2E_TMP/launch.out")
    if [[ "$line" =~ pid\ ([0-9]+)$ ]]; then
        E2E_DRIVER_PIDS+=("${BASH_REMATCH[1]}")
        e2e_watch "${BASH_REMATCH[1]}"
    fi
    E2E_LAUNCH=${line% pid *}
    E2E_LAUNCH_MS=""
    if [[ "$E2E_LAUNCH" =~ ^signalled\ ([0-9]+)$ ]]; then
        E2E_LAUNCH_MS=${BASH_REMATCH[1]}
        E2E_LAUNCH=signalled
        e2e_log "the driver signalled after $E2E_LAUNCH_MS ms"
    fi
}

# e2e_watch PID: holds process PID from now until it ends (desktop-tool watch, in the background), so
# that e2e_ended can still read its exit code after it has gone: a process that nobody holds takes
# its exit code along the moment it ends, and a check made a little late would find nothing.
e2e_watch() {
    local out=$E2E_TMP/watch-$1
    [ -e "$out" ] && return
    : >"$out"
    timeout -k 5 "${LODEVAR_E2E_EMU_LIFETIME:-300}" wine "$DESKTOP_TOOL" watch "$1" 600000 \
        </dev/null >"$out" 2>/dev/null &
    E2E_PIDS+=("$!")
    for _ in $(seq 200); do
        grep -q -e '^watching' -e '^exit=' "$out" && return
        sleep 0.05
    done
    e2e_log "the watch of process $1 did not start within 10 s"
}

# e2e_ended PID MS: waits up to MS milliseconds for the watched process PID to end; E2E_OUT is
# "exit=<code>", or "still running".
e2e_ended() {
    local out=$E2E_TMP/watch-$1 deadline=$(($(now_ms) + $2))
    [ -e "$out" ] || e2e_abort "process $1 is not watched (e2e_watch)"
    while :; do
        E2E_OUT=$(tr -d '\r' <"$out" | grep -m 1 '^exit=')
        [ -n "$E2E_OUT" ] && return
        [ "$(now_ms)" -ge "$deadline" ] && break
        sleep 0.05
    done
    E2E_OUT="still running"
}

# e2e_driver_pid: the process id of the last driver started.
e2e_driver_pid() {
    echo "${E2E_DRIVER_PIDS[-1]:-}"
}

# Call last: the test's exit code.
e2e_finish() {
    if [ "$E2E_FAILURES" -ne 0 ]; then
        e2e_log "$E2E_FAILURES check(s) failed"
        if [ -f "${E2E_APP:-}/User/Lodevar.log" ]; then
            e2e_log "the driver's diagnostics log:"
            cat "$E2E_APP/User/Lodevar.log"
        fi
        exit 1
    fi
    exit 0
}
