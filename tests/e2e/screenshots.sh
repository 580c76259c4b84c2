#!/usr/bin/env bash
# screenshots.sh FOLDER: screenshots of the driver's dialogs under Wine, in the C locale and in the
# Korean one, written to FOLDER as PNG: the question about the printer, the settings dialog, the tray
# menu, the About box and the close question. Run it under an X server (scripts/take-screenshots does). The programs run in a
# Wine virtual desktop of a prefix of its own, so that the captions and the tray icon are drawn too.
# Needs what driver_test.sh needs, and imagemagick's "import".
set -uo pipefail
mkdir -p "${1:?FOLDER}"
folder=$(realpath "$1")
export LODEVAR_WINE_PREFIX=${LODEVAR_BUILD_DIR:-$PWD}/wine-prefix-screenshots
source "$(dirname "$0")/harness.sh"

command -v import >/dev/null || e2e_abort "imagemagick's import is not installed"
[ -n "${DISPLAY:-}" ] || e2e_abort "no X display"

# shoot NAME: the virtual desktop as FOLDER/NAME.png.
shoot() {
    sleep 0.5  # let the dialog finish painting
    import -window root -crop 800x600+0+0 +repage "$folder/$1.png" || e2e_fail "no screenshot $1"
    e2e_log "wrote $folder/$1.png"
}

e2e_setup
timeout -k 5 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
timeout -k 5 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >/dev/null 2>&1
for locale in C ko_KR.UTF-8; do
    e2e_locale "$locale"
    suffix=$([ "$locale" = C ] && echo c || echo ko)
    e2e_install_driver
    e2e_launch
    e2e_tool wait question 20000 && shoot "question-$suffix"
    e2e_tool press question 2
    e2e_launched
    e2e_tool post 273 32776
    e2e_tool wait settings 10000 && shoot "settings-$suffix"
    e2e_tool press settings 2
    # The tray menu opens where the pointer is, here just above the icon at the desktop's bottom
    # right (over the icon, its tip would show), when the icon's button is released (WM_RBUTTONUP).
    # The menu's "A" item opens the About box.
    e2e_tool cursor 786 576
    sleep 0.5  # the pointer reaches the X server first
    e2e_tool post 1324 0 517
    sleep 1
    shoot "tray-menu-$suffix"
    e2e_tool key 65
    e2e_tool wait about 10000 && shoot "about-$suffix"
    e2e_tool press about 1
    e2e_tool register
    e2e_tool post 273 32773
    e2e_tool wait box 10000 && shoot "close-question-$suffix"
    e2e_tool press box 7
    e2e_tool quit 20000
done
e2e_finish
