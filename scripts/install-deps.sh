#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing. Safe to run
# again: with everything present it only checks.
#
# 32-bit Wine (wine32:i386, for the i686 programs) is installed only where the kernel runs 32-bit
# programs: on a machine whose kernel has its 32-bit emulation switched off, wine32 cannot start,
# and once installed it takes over the `wine` command, so that 64-bit programs no longer run either.
# There it is left out (and taken out again if present), and the i686 tests say why they skip.
set -uo pipefail

packages=(
    make cmake g++ clang libclang-rt-14-dev clang-format
    libgtest-dev libgmock-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 xvfb xauth
    locales fonts-nanum imagemagick
    nsis
    mono-mcs
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The Korean locale the end-to-end tests run the driver's UI in (Wine's ANSI code page is then 949).
make_korean_locale() {
    locale -a 2>/dev/null | grep -qix 'ko_KR.utf8' && return 0
    echo "making the locale ko_KR.UTF-8"
    $sudo localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
}

# 32-bit Wine, where it can run. Its failure never fails the install: the i686 tests then skip and
# say why (scripts/wine32-status tells them).
install_wine32() {
    local status
    status=$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null)
    if ! "$(dirname "$0")/runs-32bit-programs"; then
        echo "32-bit Wine: not installed: this machine's kernel does not run 32-bit programs" \
            "(its 32-bit emulation is off); the i686 end-to-end tests will be skipped"
        if [ "$status" = "install ok installed" ]; then
            echo "32-bit Wine: removing wine32:i386, which cannot start here and would stop 64-bit Wine"
            DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -q wine32:i386 libwine:i386
        fi
        return 0
    fi
    [ "$status" = "install ok installed" ] && return 0
    echo "32-bit Wine: installing wine32:i386"
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    for attempt in 1 2 3; do
        $sudo apt-get update -q && break
        sleep $((attempt * 5))
    done
    for attempt in 1 2 3; do
        $sudo apt-get install -y -q --no-install-recommends wine32:i386 && break
        sleep $((attempt * 5))
    done
    status=$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null)
    if [ "$status" != "install ok installed" ]; then
        echo "32-bit Wine: wine32:i386 could not be installed; the i686 end-to-end tests will be skipped" >&2
    fi
}

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
# The build turns the Korean texts into code page 949 with glibc's iconv (scripts/texts-header), and
# the unit tests check them with it. Where that converter ships apart from the C library, install it.
if ! printf '\xea\xb0\x80' | iconv -f UTF-8 -t CP949 >/dev/null 2>&1; then
    missing+=(libc-gconv-modules-extra)
fi
if [ ${#missing[@]} -eq 0 ]; then
    make_korean_locale
    install_wine32
    exit
fi

echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync can fail an update; try again, then judge by what got installed.
for attempt in 1 2 3; do
    $sudo apt-get update -q && break
    sleep $((attempt * 5))
done
for attempt in 1 2 3; do
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" && break
    sleep $((attempt * 5))
done

still=()
for package in "${missing[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)
    [ "$status" = "install ok installed" ] || still+=("$package")
done
if [ ${#still[@]} -ne 0 ]; then
    echo "could not install: ${still[*]}" >&2
    exit 1
fi
make_korean_locale
install_wine32
