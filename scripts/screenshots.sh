#!/usr/bin/env bash
# Takes the README's pictures of Tovrane's windows: runs it under Wine in a
# virtual desktop (which draws the windows' frames and captions) on a private
# Xvfb display, in the Simplified-Chinese locale, and saves
#   docs/screenshots/form1.png   the main window
#   docs/screenshots/form3.png   the program description, opened from it
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/build.sh win32

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
set +e  # the harness checks its own steps

wine_dir=$root/build/win32/wine
out=$root/docs/screenshots
mkdir -p "$out"
unset DISPLAY
tw_prepare "$wine_dir" zh_CN || exit 2

trap tw_cleanup EXIT
trap 'exit 130' INT TERM
tw_new_prefix "$TW_TEMPLATE" "$(mktemp -d "$wine_dir/runs/shots.XXXXXX")"
tw_map_drive E floppy folder
tw_write_drive_types
cp build/win32/Tovrane.exe "$TW_PREFIX/drive_c/tovrane/" || exit 2
tw_start_display
tw_start_wineserver

# shoot NAME: waits until the desktop stops changing, then saves it.
shoot() {
    local previous="" current i
    for ((i = 0; i < 40; i++)); do
        sleep 0.5
        current=$(import -window root -crop 420x440+0+0 rgb:- 2>/dev/null | md5sum)
        [ "$current" = "$previous" ] && break
        previous=$current
    done
    import -window root -crop 420x440+0+0 +repage "$out/$1.png" || tw_die "no picture of $1"
    echo "saved docs/screenshots/$1.png"
}

(cd "$TW_PREFIX/drive_c/tovrane/work" &&
    wine explorer /desktop=Tovrane,420x440 'C:\tovrane\Tovrane.exe') &
desktop=""
for ((i = 0; i < 100; i++)); do
    desktop=$(xdotool search --name '^Tovrane - Wine desktop$' 2>/dev/null | head -n 1)
    [ -n "$desktop" ] && break
    sleep 0.1
done
[ -n "$desktop" ] || tw_die "the Wine desktop did not appear"
shoot form1

# The main window opens with the focus on its check box; the next control in
# tab order is the "程序说明" button.
xdotool mousemove --window "$desktop" 160 68 click 1 sleep 0.5 key Tab sleep 0.3 key space
shoot form3
