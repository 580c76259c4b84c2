#!/usr/bin/env bash
# installer_test.sh LOCALE CASE: the Windows installer (lodevar-setup-x64.exe) under Wine, silent, as
# branch IT runs it from a deployment tool, with the Windows programs running in LOCALE.
#   defaults  /S alone: C:\Lodevar holds the three programs, the uninstaller and User\CommData.ini
#             with the defaults; no Run entry; the installed driver starts with /noinit, releases
#             the launcher and ends on WM_CLOSEQUIET; a silent uninstall removes the programs, the
#             shortcuts and the registry keys and keeps the settings file
#   options   /PORT /SPEED /MODEL /STARTUP /D into a folder with a blank in its name: the file holds
#             the choices and the Run entry names the driver; a logon (wineboot runs the Run entries)
#             starts the driver, which finds the printer emulator on COM2 and writes its family
#             back; an upgrade without /D goes to the same folder, closes the running driver, and
#             keeps what the file holds unless an option says otherwise; an option not understood
#             changes nothing; /KEEPSETTINGS=0 closes a running driver and removes everything
#   unanswered  a workstation whose printer is off: the installed driver's question is up and
#             nobody answers it; a silent upgrade still closes the driver and installs, and a
#             silent uninstall still closes it and removes the programs
# Needs INSTALLER, DESKTOP_TOOL, LODEVAR_EXE, PBCLIENT, SERIAL_PROBE (portcheck.exe) and
# what harness.sh needs.
source "$(dirname "$0")/harness.sh"

readonly kSetup=${INSTALLER:?INSTALLER names lodevar-setup-x64.exe}
readonly kRunKey='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
readonly kUninstallKey='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lodevar'
readonly kOwnKey='HKCU\Software\Lodevar'
readonly kDefaultDir=$WINEPREFIX/drive_c/Lodevar
readonly kBranchDir=$WINEPREFIX/drive_c/'Branch Tools'/Lodevar
readonly kBranchDirWin='C:\Branch Tools\Lodevar'

# reg_query KEY [NAME]: sets REG_VALUE to the data of value NAME of KEY (or the key's listing
# without NAME); fails when the key or the value is not there.
reg_query() {
    local out=$E2E_TMP/reg.out
    if [ $# -eq 2 ]; then
        timeout -k 5 30 wine reg query "$1" /v "$2" </dev/null >"$out" 2>/dev/null || return 1
        REG_VALUE=$(tr -d '\r' <"$out" | sed -nE "s/^ +$2 +REG_[A-Z_]+ +//p" | head -n 1)
    else
        timeout -k 5 30 wine reg query "$1" </dev/null >"$out" 2>/dev/null || return 1
        REG_VALUE=$(tr -d '\r' <"$out")
    fi
}

# check_reg WHAT KEY NAME EXPECTED: value NAME of KEY holds EXPECTED.
check_reg() {
    REG_VALUE="(absent)"
    reg_query "$2" "$3"
    e2e_check_eq "$1" "$REG_VALUE" "$4"
}

# check_no_reg WHAT KEY [NAME]: the key (or its value NAME) is not there.
check_no_reg() {
    if reg_query "${@:2}"; then
        e2e_fail "$1: still there: $REG_VALUE"
    else
        e2e_log "ok: $1"
    fi
}

# The shortcuts folder in the user's Start menu.
start_menu_dir() {
    find "$WINEPREFIX/drive_c/users" -maxdepth 8 -type d -path '*/Start Menu/Programs/Lodevar' 2>/dev/null | head -n 1
}

# Leaves the prefix without an installation: no folders, no registry keys, no Run entry (one left
# behind would start a driver at every later logon of the prefix).
remove_installation() {
    rm -rf "$kDefaultDir" "$WINEPREFIX/drive_c/Branch Tools"
    local menu
    menu=$(start_menu_dir)
    [ -n "$menu" ] && rm -rf "$menu"
    timeout -k 5 30 wine reg delete "$kRunKey" /v Lodevar /f </dev/null >/dev/null 2>&1
    timeout -k 5 30 wine reg delete "$kUninstallKey" /f </dev/null >/dev/null 2>&1
    timeout -k 5 30 wine reg delete "$kOwnKey" /f </dev/null >/dev/null 2>&1
}

installer_cleanup() {
    e2e_cleanup
    remove_installation
}
trap installer_cleanup EXIT

# files_in DIR: every file and folder under DIR, relative to it, sorted, on one line.
files_in() {
    if [ -d "$1" ]; then
        (cd "$1" && find . -mindepth 1 | sort | tr '\n' ' ')
    else
        echo "(no folder)"
    fi
}

# ini_keys FILE: its lines without the section line and carriage returns, on one line.
ini_keys() {
    { tr -d '\r' <"$1" | grep -v '^\[' | grep -v '^$' | tr '\n' ' '; } 2>/dev/null
}

# setup ARG...: runs the installer and waits for it. The command line goes through cmd as it is
# typed: /D= takes the rest of the line unquoted, blanks and all, and Wine would quote it.
setup() {
    e2e_log "lodevar-setup-x64.exe $*"
    [[ "$kSetup" != *" "* ]] || e2e_abort "the installer's path has a blank: $kSetup"
    local start=$SECONDS
    e2e_run cmd /c "Z:${kSetup//\//\\} $*"
    e2e_log "the installer ended with $E2E_STATUS after $((SECONDS - start)) s"
}

# uninstall DIR WANT ARG...: runs DIR's uninstaller silently. A silent uninstaller copies itself to the
# temporary folder and returns at once, so this waits (30 s at most) until DIR holds WANT, the
# listing of files_in.
uninstall() {
    local dir=$1 want=$2
    shift 2
    e2e_log "uninstall.exe /S $*"
    e2e_run "$dir/uninstall.exe" /S "$@"
    e2e_check_eq "the uninstaller starts" "$E2E_STATUS" 0
    local start=$SECONDS
    for _ in $(seq 300); do
        [ "$(files_in "$dir")" == "$want" ] && break
        sleep 0.1
    done
    e2e_log "the uninstall was seen done after $((SECONDS - start)) s"
    e2e_check_eq "what the uninstall leaves in the folder" "$(files_in "$dir")" "$want"
}

# check_programs DIR: the installed programs are the ones built.
check_programs() {
    local built name
    for built in "$LODEVAR_EXE" "$PBCLIENT" "$SERIAL_PROBE"; do
        name=$(basename "$built")
        if cmp -s "$built" "$1/$name"; then
            e2e_log "ok: $name is the one built"
        else
            e2e_fail "$name in $1 is not the one built"
        fi
    done
}

# use_installation DIR: the harness's driver functions (e2e_launch) run DIR's lodevar.exe.
use_installation() {
    E2E_APP=$1
    E2E_APP_WIN="Z:${E2E_APP//\//\\}"
}

# start_driver WHAT: the installed driver with /noinit releases the launcher and shows its window.
start_driver() {
    e2e_launch /noinit
    e2e_launched
    e2e_check_eq "$1: the launcher is released" "$E2E_LAUNCH" signalled
    e2e_tool main 5000
    e2e_check_match "$1: the main window is there, hidden" "$E2E_OUT" "^window=[0-9a-f]+ pid=$(e2e_driver_pid) visible=0 "
}

# driver_closed WHAT PID: the driver PID (watched since it started) has ended with exit code 0 and its
# window is gone.
driver_closed() {
    e2e_ended "$2" 20000
    e2e_check_eq "$1" "$E2E_OUT" "exit=0"
    e2e_tool main 500
    e2e_check_eq "$1: no main window left" "$E2E_STATUS" 1
}

# What the installer puts in "client", as files_in lists it.
readonly kClientKit="./client ./client/developer-guide.md ./client/dotnet ./client/dotnet/Lodevar.cs \
./client/dotnet/Sample.cs ./client/lodevar_client.c ./client/lodevar_client.def ./client/lodevar_client.h \
./client/lodevar_texts.h ./client/lodevar_version.h ./client/x64 ./client/x64/lodevar_client.dll ./client/x86 ./client/x86/lodevar_client.dll "

case_defaults() {
    setup /S
    e2e_check_eq "exit code of the silent install" "$E2E_STATUS" 0
    e2e_check_eq "the installed files" "$(files_in "$kDefaultDir")" \
        "./User ./User/CommData.ini $kClientKit./lodevar.exe ./pbclient.exe ./portcheck.exe ./uninstall.exe "
    check_programs "$kDefaultDir"
    e2e_check_eq "the settings file holds the defaults" "$(ini_keys "$kDefaultDir/User/CommData.ini")" \
        "PORT=1 SPEED=9600 TRACE=0 MODEL=242 "
    check_no_reg "no Run entry without /STARTUP=1" "$kRunKey" Lodevar
    check_reg "the uninstall entry" "$kUninstallKey" QuietUninstallString '"C:\Lodevar\uninstall.exe" /S'
    check_reg "the installation folder is remembered" "$kOwnKey" InstallDir 'C:\Lodevar'
    local menu
    menu=$(start_menu_dir)
    e2e_check_match "the Start menu shortcuts" "$(files_in "${menu:-/nowhere}")" '^\./Lodevar\.lnk \./.+\.lnk $'

    use_installation "$kDefaultDir"
    start_driver "the installed driver"
    e2e_tool quit 20000
    e2e_check_eq "WM_CLOSEQUIET ends the installed driver" "$E2E_OUT" "exit=0"
    e2e_check_eq "/noinit stored nothing" "$(ini_keys "$kDefaultDir/User/CommData.ini")" \
        "PORT=1 SPEED=9600 TRACE=0 MODEL=242 "

    uninstall "$kDefaultDir" "./User ./User/CommData.ini "
    e2e_check_eq "the settings file is kept as it was" "$(ini_keys "$kDefaultDir/User/CommData.ini")" \
        "PORT=1 SPEED=9600 TRACE=0 MODEL=242 "
    check_no_reg "the uninstall entry is removed" "$kUninstallKey"
    check_no_reg "the installer's own key is removed" "$kOwnKey"
    e2e_check_eq "the Start menu shortcuts are removed" "$(start_menu_dir)" ""
}

case_options() {
    e2e_start_emu com2 1
    setup /S /PORT=2 /SPEED=19200 /MODEL=auto /STARTUP=1 "/D=$kBranchDirWin"
    e2e_check_eq "exit code of the silent install with options" "$E2E_STATUS" 0
    e2e_check_eq "the installed files" "$(files_in "$kBranchDir")" \
        "./User ./User/CommData.ini $kClientKit./lodevar.exe ./pbclient.exe ./portcheck.exe ./uninstall.exe "
    e2e_check_eq "the settings file holds the choices" "$(ini_keys "$kBranchDir/User/CommData.ini")" \
        "PORT=2 SPEED=19200 TRACE=0 MODEL=242 "
    check_reg "the Run entry names the installed driver" "$kRunKey" Lodevar "\"$kBranchDirWin\\lodevar.exe\""
    e2e_check_eq "nothing goes to the default folder" "$(files_in "$kDefaultDir")" "(no folder)"

    # A logon: wineboot starts what the Run entries name. The driver opens the printer on COM2,
    # finds family 1 and writes the settings that worked back beside itself.
    e2e_log "a logon (wineboot)"
    timeout -k 5 60 wine wineboot </dev/null >"$E2E_TMP/wineboot.out" 2>&1
    e2e_tool main 20000
    local pid=""
    [[ "$E2E_OUT" =~ pid=([0-9]+) ]] && pid=${BASH_REMATCH[1]} && E2E_DRIVER_PIDS+=("$pid") && e2e_watch "$pid"
    for _ in $(seq 200); do
        [[ "$(ini_keys "$kBranchDir/User/CommData.ini")" == *MODEL=1* ]] && break
        sleep 0.1
    done
    e2e_check_eq "the driver started at the logon stored the family it found" \
        "$(ini_keys "$kBranchDir/User/CommData.ini")" "PORT=2 SPEED=19200 TRACE=0 MODEL=1 "
    # The window is found as soon as it exists; start-up hides it before it opens the printer, so
    # once the settings are written back it must be hidden.
    e2e_tool main 20000
    e2e_check_match "the Run entry started the driver at the logon" "$E2E_OUT" '^window=[0-9a-f]+ pid=[0-9]+ visible=0 '

    # An upgrade while that driver runs: the folder is the remembered one, the driver is closed,
    # the file's values stay unless an option changes them (TRACE=1 set by hand), the Run entry stays.
    sed -i 's/^TRACE=0/TRACE=1/' "$kBranchDir/User/CommData.ini"
    setup /S /MODEL=alder
    e2e_check_eq "exit code of the upgrade" "$E2E_STATUS" 0
    [ -n "$pid" ] && driver_closed "the upgrade closed the running driver" "$pid"
    e2e_check_eq "the upgrade keeps the file's values and takes the option" \
        "$(ini_keys "$kBranchDir/User/CommData.ini")" "PORT=2 SPEED=19200 TRACE=1 MODEL=0 "
    check_programs "$kBranchDir"
    e2e_check_eq "the upgrade went to the remembered folder" "$(files_in "$kDefaultDir")" "(no folder)"
    check_reg "the Run entry stays" "$kRunKey" Lodevar "\"$kBranchDirWin\\lodevar.exe\""

    # Options that are not understood: exit code 2, nothing written.
    local option
    for option in /PORT=3 /SPEED=96OO /SPEED=0 /MODEL=oak /STARTUP=yes; do
        setup /S "$option" /STARTUP=0
        e2e_check_eq "$option is refused" "$E2E_STATUS" 2
    done
    e2e_check_eq "a refused option changes nothing" "$(ini_keys "$kBranchDir/User/CommData.ini")" \
        "PORT=2 SPEED=19200 TRACE=1 MODEL=0 "
    check_reg "a refused option leaves the Run entry" "$kRunKey" Lodevar "\"$kBranchDirWin\\lodevar.exe\""

    # A bank's own file beside the program is not the uninstaller's to remove; without it, the
    # folder goes.
    use_installation "$kBranchDir"
    start_driver "the upgraded driver"
    pid=$(e2e_driver_pid)
    touch "$kBranchDir/VSK_ALL.dll"
    uninstall "$kBranchDir" "./VSK_ALL.dll " /KEEPSETTINGS=0
    driver_closed "the uninstaller closed the running driver" "$pid"
    check_no_reg "the Run entry is removed" "$kRunKey" Lodevar
    check_no_reg "the uninstall entry is removed" "$kUninstallKey"
    rm "$kBranchDir/VSK_ALL.dll"
    setup /S "/D=$kBranchDirWin"
    uninstall "$kBranchDir" "(no folder)" /KEEPSETTINGS=0
}

# asking_driver WHAT: starts the installed driver, which finds no printer and asks its question,
# and watches it; E2E_ASKING_PID is its process.
asking_driver() {
    e2e_launch
    e2e_tool wait question 20000
    e2e_check_eq "$1: the driver asks its question" "$E2E_STATUS" 0
    E2E_ASKING_PID=""
    e2e_tool main 5000
    [[ "$E2E_OUT" =~ pid=([0-9]+) ]] && E2E_ASKING_PID=${BASH_REMATCH[1]} && E2E_DRIVER_PIDS+=("$E2E_ASKING_PID") &&
        e2e_watch "$E2E_ASKING_PID"
}

case_unanswered() {
    setup /S
    e2e_check_eq "exit code of the silent install" "$E2E_STATUS" 0
    use_installation "$kDefaultDir"

    asking_driver "before the upgrade"
    setup /S /MODEL=alder
    e2e_check_eq "the silent upgrade succeeds while nobody answers the question" "$E2E_STATUS" 0
    driver_closed "the upgrade closed the asking driver" "$E2E_ASKING_PID"
    e2e_launched
    e2e_check_eq "the launcher is released when the question ends" "$E2E_LAUNCH" signalled
    e2e_check_eq "the upgrade took the option" "$(ini_keys "$kDefaultDir/User/CommData.ini")" \
        "PORT=1 SPEED=9600 TRACE=0 MODEL=0 "
    check_programs "$kDefaultDir"

    asking_driver "before the uninstall"
    uninstall "$kDefaultDir" "./User ./User/CommData.ini "
    driver_closed "the uninstaller closed the asking driver" "$E2E_ASKING_PID"
    e2e_launched
}

e2e_locale "${1:?LOCALE}"
e2e_setup
remove_installation
case "${2:-}" in
defaults) case_defaults ;;
options) case_options ;;
unanswered) case_unanswered ;;
*) e2e_abort "unknown case '${2:-}'" ;;
esac
e2e_finish
