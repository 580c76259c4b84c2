#!/usr/bin/env bash
# serial_probe_test.sh CASE: portcheck.exe (tools/), the port check, under Wine against the printer
# emulator on COM1.
#   family0, family1  the family is found and the status follows the medium (80 empty, 65 passbook)
#   silent            a printer that never answers: 242 and the driver's "switched off" text
#   noport            COM1 leads nowhere, or to a device that has gone: the open fails
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
    start=$(date +%s%N)
    e2e_run "$probe" 1
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    e2e_check_eq "exit code, silent printer" "$E2E_STATUS" 0
    e2e_check_eq "silent printer" "$E2E_OUT" "$kNoAnswer"
    # Two probes (one by the program, one inside the status query), each waiting 1 s for either
    # family: at least 4 s, and nothing may wait much longer.
    e2e_check_range "milliseconds for a silent printer" "$elapsed_ms" 4000 9000
    ;;
noport)
    e2e_run "$probe" 1
    e2e_check_eq "exit code, no device" "$E2E_STATUS" 2
    e2e_check_eq "no device" "$E2E_OUT" "open failed: Create File Error"
    # A link to a device that has gone: Wine still opens the port, and the line settings fail.
    e2e_point_port com1 "$E2E_TMP/gone"
    e2e_run "$probe" 1
    e2e_check_eq "exit code, device gone" "$E2E_STATUS" 2
    e2e_check_match "device gone" "$E2E_OUT" '^open failed: (Create File|Setup Connection) Error$'
    # Port 0 names COM0, which no machine has.
    e2e_run "$probe" 0
    e2e_check_eq "port 0" "$E2E_OUT" "open failed: Create File Error"
    ;;
*) e2e_abort "unknown case '${1:-}'" ;;
esac
e2e_finish
