#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing. Safe to run
# again: with everything present it only checks. Never adds the i386 architecture.
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

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    make_korean_locale
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
