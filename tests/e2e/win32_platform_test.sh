#!/usr/bin/env bash
# Runs win32-platform-test.exe under Wine, with a family 0 printer emulator behind COM2 for the
# checks of the serial device. Needs PLATFORM_TEST (the program) and what harness.sh needs.
source "$(dirname "$0")/harness.sh"

program=${PLATFORM_TEST:?PLATFORM_TEST names win32-platform-test.exe}
e2e_setup
e2e_start_emu com2 0
# A DLL in the current folder that the program must stop finding by name once it has hardened its
# DLL search (the fake printer library under another name).
decoy=$E2E_TMP/cwd
mkdir -p "$decoy"
cp "${FAKE_LIBRARY:?FAKE_LIBRARY names the fake printer library DLL}" "$decoy/lodevar_decoy.dll"
cd "$decoy" || e2e_abort "no folder $decoy"
e2e_run "$program" COM2
echo "$E2E_OUT"
e2e_check_eq "exit code of the platform checks" "$E2E_STATUS" 0
e2e_check_eq "last line" "$(tail -n 1 <<<"$E2E_OUT")" "0 failure(s)"
e2e_finish
