#!/usr/bin/env bash
# library_probe_test.sh CASE: library-probe.exe under Wine, with a fake printer library copied as
# VSK_ALL.dll beside it, checking what the program reports and what the library was called with.
#   bound       the full library: open on port 2 and port 1, paper in after "not yet" answers,
#               stripe read and write, eject; a paper-in failure and a refused stripe write
#   settings    a setting the library does not understand is reported in its log and left alone
#   poweroff    the library says the printer is off: the power message, the open fails
#   incomplete  the library without FilePrinting: the open fails with no message, nothing called
#   missing     no library beside the program: the library message, the open fails
# Needs LIBRARY_PROBE, FAKE_LIBRARY and FAKE_LIBRARY_NO_FILEPRINTING (the program and the two DLL
# variants) and what harness.sh needs.
source "$(dirname "$0")/harness.sh"

probe=${LIBRARY_PROBE:?LIBRARY_PROBE names library-probe.exe}
full=${FAKE_LIBRARY:?FAKE_LIBRARY names the fake printer library DLL}
incomplete=${FAKE_LIBRARY_NO_FILEPRINTING:?FAKE_LIBRARY_NO_FILEPRINTING names the DLL without FilePrinting}

readonly kCaption="통장인쇄기 오류!!"
readonly kLibraryMissing="통장인쇄기 제조사의 인쇄 모듈을 실행할 수 없습니다.\\n제조사 고객지원센터로 연락하시기 바랍니다."
readonly kPowerOff="전원이 켜져있지 않거나, 케이블을 확인하시기 바랍니다."

# The program folder: the probe, and the library under the name the driver loads.
app=$E2E_TMP/app
mkdir -p "$app"
cp "$probe" "$app/library-probe.exe" || e2e_abort "cannot copy $probe"
log=$E2E_TMP/calls.log
# The library runs under Wine, where the host's / is drive Z:.
export FAKE_PBPR_LOG="Z:${log//\//\\}"

# install_library DLL: puts DLL beside the program as VSK_ALL.dll.
install_library() {
    cp "$1" "$app/VSK_ALL.dll" || e2e_abort "cannot copy $1"
}

# probe ARG...: runs the probe with an empty call log; sets E2E_OUT, E2E_STATUS and CALLS.
probe() {
    rm -f "$log"
    e2e_run "$app/library-probe.exe" "$@"
    CALLS=$(cat "$log" 2>/dev/null)
}

lines() {
    printf '%s\n' "$@"
}

e2e_setup
case "${1:-}" in
bound)
    install_library "$full"
    export FAKE_PBPR_OPEN_ANSWERS=3,3,1 FAKE_PBPR_STRIPE=:123 FAKE_PBPR_WRITE_ANSWER=65
    probe 2 DATA
    e2e_check_eq "exit code, port 2" "$E2E_STATUS" 0
    e2e_check_eq "results, port 2" "$E2E_OUT" "$(lines "open=1 loaded=1" "paperin=1" "msrread=1 data=123" \
        "msrwrite=1 error=통장이 들어와 있음" "paperout=1")"
    e2e_check_eq "library calls, port 2" "$CALLS" "$(lines 'SetPrtPortID("COM2")' 'WriteCommand("\x1b0")' \
        'PrtIsPowerOn()' 'OpenPbpr(12,5,1,160)' 'OpenPbpr(12,5,1,160)' 'OpenPbpr(12,5,1,160)' \
        'OpenMsrw()' 'ReadMsrw()' 'WriteMsrw(":DATA")' 'ExpelPaper()')"

    export FAKE_PBPR_OPEN_ANSWERS=9 FAKE_PBPR_STRIPE='X9876' FAKE_PBPR_WRITE_ANSWER=113
    probe 1 12345
    e2e_check_eq "exit code, port 1" "$E2E_STATUS" 0
    e2e_check_eq "results, port 1" "$E2E_OUT" "$(lines "open=1 loaded=1" "paperin=0" "msrread=1 data=9876" \
        "msrwrite=113 error=MS READ/WRITE ERROR" "paperout=1")"
    e2e_check_eq "library calls, port 1" "$CALLS" "$(lines 'WriteCommand("\x1b0")' 'PrtIsPowerOn()' \
        'OpenPbpr(12,5,1,160)' 'OpenMsrw()' 'ReadMsrw()' 'WriteMsrw(":12345")' 'ExpelPaper()')"
    ;;
settings)
    install_library "$full"
    export FAKE_PBPR_POWER=on
    probe 1
    e2e_check_eq "exit code" "$E2E_STATUS" 0
    e2e_check_eq "open with the default power answer" "$(head -n 1 <<<"$E2E_OUT")" "open=1 loaded=1"
    e2e_check_eq "the setting reported" "$(head -n 1 <<<"$CALLS")" \
        'setting not understood: FAKE_PBPR_POWER="on"'
    ;;
poweroff)
    install_library "$full"
    export FAKE_PBPR_POWER=0
    probe 2
    e2e_check_eq "exit code" "$E2E_STATUS" 2
    e2e_check_eq "results" "$E2E_OUT" "$(lines "box=$kCaption|$kPowerOff" "open=0 loaded=1")"
    e2e_check_eq "library calls" "$CALLS" "$(lines 'SetPrtPortID("COM2")' 'WriteCommand("\x1b0")' \
        'PrtIsPowerOn()')"
    ;;
incomplete)
    install_library "$incomplete"
    probe 2
    e2e_check_eq "exit code" "$E2E_STATUS" 2
    e2e_check_eq "results" "$E2E_OUT" "open=0 loaded=0"
    e2e_check_eq "library calls" "$CALLS" ""
    ;;
missing)
    probe 2
    e2e_check_eq "exit code" "$E2E_STATUS" 2
    e2e_check_eq "results" "$E2E_OUT" "$(lines "box=$kCaption|$kLibraryMissing" "open=0 loaded=0")"
    ;;
*) e2e_abort "unknown case '${1:-}'" ;;
esac
e2e_finish
