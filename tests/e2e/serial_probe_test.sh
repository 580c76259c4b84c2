#!/usr/bin/env bash
# serial_probe_test.sh CASE: portcheck.exe (tools/), the port check, under Wine against the printer
# emulator on COM1.
#   family0, family1  the family is found and the status follows the medium (80 empty, 65 passbook)
#   silent            a printer that never answers: 242 and the driver's "switched off" text, exit 3
#   noport            COM1 leads nowhere, or to a device that has gone: the open fails, exit 1
#   scan              no port given: COM1 to COM9 are tried, and the one where a printer answers is
#                     named (exit 0); with no printer anywhere "found: none" (exit 3); a command
#                     line not understood is exit 2, --help exit 0
# Needs SERIAL_PROBE (portcheck.exe) and what harness.sh needs.
source "$(dirname "$0")/harness.sh"

probe=${SERIAL_PROBE:?SERIAL_PROBE names portcheck.exe}
readonly kNormal="family=%d status=80 text=정상 상태임"
readonly kPassbook="family=%d status=65 text=통장이 들어와 있음"
readonly kNoAnswer="family=242 status=242 text=통장인쇄기가 꺼져있거나 연결 케이블이 불량합니다."

# probe_family FAMILY: the family is found; status follows what the emulator holds.
probe_family() {
    local family=$1
    e2e_start_emu com1 "$family"
    e2e_run "$probe" 1
    e2e_check_eq "exit code, family $family, nothing in" "$E2E_STATUS" 0
    e2e_check_eq "family $family, nothing in" "$E2E_OUT" "$(printf "$kNormal" "$family")"

    e2e_emu com1 insert passbook
    e2e_run "$probe" COM1 9600
    e2e_check_eq "exit code, family $family, passbook in" "$E2E_STATUS" 0
    e2e_check_eq "family $family, passbook in" "$E2E_OUT" "$(printf "$kPassbook" "$family")"
}

e2e_setup
case "${1:-}" in
family0) probe_family 0 ;;
family1) probe_family 1 ;;
silent)
    e2e_start_emu com1 0
    e2e_emu com1 silent on
    # What starting the program under Wine costs here and now (more on a loaded machine), so that
    # the bound below is on the program's own waits.
    start=$(date +%s%N)
    e2e_run "$probe" --help
    startup_ms=$((($(date +%s%N) - start) / 1000000))
    start=$(date +%s%N)
    e2e_run "$probe" 1
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    e2e_check_eq "exit code, silent printer" "$E2E_STATUS" 3
    e2e_check_eq "silent printer" "$E2E_OUT" "$kNoAnswer"
    # Two probes (one by the program, one inside the status query), each waiting 1 s for either
    # family: at least 4 s, and nothing may wait much longer.
    e2e_log "starting the program took $startup_ms ms"
    e2e_check_range "milliseconds for a silent printer" "$elapsed_ms" 4000 $((7000 + startup_ms))
    ;;
noport)
    e2e_run "$probe" 1
    e2e_check_eq "exit code, no device" "$E2E_STATUS" 1
    e2e_check_eq "no device" "$E2E_OUT" "open failed: Create File Error"
    # A link to a device that has gone: Wine still opens the port, and the line settings fail.
    e2e_point_port com1 "$E2E_TMP/gone"
    e2e_run "$probe" 1
    e2e_check_eq "exit code, device gone" "$E2E_STATUS" 1
    e2e_check_match "device gone" "$E2E_OUT" '^open failed: (Create File|Setup Connection) Error$'
    # Port 0 names COM0, which no machine has.
    e2e_run "$probe" 0
    e2e_check_eq "port 0" "$E2E_OUT" "open failed: Create File Error"
    ;;
scan)
    e2e_start_emu com2 1
    e2e_run "$probe"
    e2e_check_eq "exit code, a printer on COM2" "$E2E_STATUS" 0
    has_line "COM1 does not open" "$E2E_OUT" "COM1: open failed: Create File Error"
    has_line "COM2 answers" "$E2E_OUT" "COM2: $(printf "$kNormal" 1)"
    e2e_check_eq "one line per port, then what was found" \
        "$(cut -d: -f1 <<<"$E2E_OUT" | tr '\n' ' ')" "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 found "
    e2e_check_eq "the port found" "$(tail -n 1 <<<"$E2E_OUT")" "found: COM2 family 1 (Birch)"
    e2e_emu com2 quit
    e2e_unplug com2
    e2e_run "$probe" --scan 9600
    e2e_check_eq "exit code, no printer anywhere" "$E2E_STATUS" 3
    e2e_check_eq "nothing found" "$(tail -n 1 <<<"$E2E_OUT")" "found: none"
    e2e_run "$probe" COM1 fast
    e2e_check_eq "exit code, a command line not understood" "$E2E_STATUS" 2
    e2e_run "$probe" --help
    e2e_check_match "--help" "$E2E_STATUS $(head -n 1 <<<"$E2E_OUT")" "^0 usage: portcheck "
    ;;
*) e2e_abort "unknown case '${1:-}'" ;;
esac
e2e_finish
