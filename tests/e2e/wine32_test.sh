#!/usr/bin/env bash
# wine32_test.sh SCRIPT ARG...: runs an end-to-end test script with the i686 programs (or with a
# client and a driver of different bitness), or skips it, saying why, when this machine's Wine cannot
# run 32-bit programs. The skip is CTest's: exit code 77.
readonly kSkip=77
readonly kScripts=$(cd "$(dirname "$0")/../../scripts" && pwd)

if ! "$kScripts/runs-32bit-programs"; then
    echo "SKIPPED: this machine's kernel does not run 32-bit programs (its 32-bit emulation is off)," \
        "so 32-bit Wine cannot run here"
    exit $kSkip
fi
if [ "$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null)" != "install ok installed" ]; then
    echo "SKIPPED: 32-bit Wine (wine32:i386) is not installed: scripts/install-deps.sh could not install it"
    exit $kSkip
fi
script=$1
shift
exec bash "$(dirname "$0")/$script" "$@"
