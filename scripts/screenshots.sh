#!/usr/bin/env bash
# Takes the README's pictures of Tovrane under Wine, in a virtual desktop
# with its taskbar (which draws the windows' frames and the notification
# area) on a private Xvfb display, in the Simplified-Chinese locale:
#   docs/screenshots/reminder.png   the reminder of a stick already in
#   docs/screenshots/traymenu.png   the tray icon's menu
#   docs/screenshots/form1.png      the main window, opened from the menu
#   docs/screenshots/form3.png      the program description, opened from it
#   docs/screenshots/popup.png      the arrival popup counting down
#   docs/screenshots/repaired.png   a repaired worm stick, and its 说明.txt
# Where Wine runs no 32-bit programs, of the 64-bit build of the same sources.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/build.sh windows

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
set +e  # the harness checks its own steps

tw_select_mode || exit 2
echo "screenshots: $(tw_mode_summary)"
build=$root/build/$TW_MODE
wine_dir=$build/wine
out=$root/docs/screenshots
mkdir -p "$out"
unset DISPLAY
tw_prepare "$wine_dir" zh_CN || exit 2

trap tw_cleanup EXIT
trap 'exit 130' INT TERM
tw_new_prefix "$TW_TEMPLATE" "$(mktemp -d "$wine_dir/runs/shots.XXXXXX")"
tw_map_drive E floppy folder
tw_map_drive F floppy unplugged
printf '[autorun]\r\nopen=virus.exe\r\n' >"$(tw_drive_folder E)/autorun.inf"
printf '[autorun]\r\nopen=virus.exe\r\n' >"$(tw_drive_folder F)/autorun.inf"
tw_write_drive_types
tw_use_shell_desktop
cp "$build/Tovrane.exe" "$build/stick.exe" "$TW_PREFIX/drive_c/tovrane/" || exit 2
tw_start_display
tw_start_wineserver

snap() { import -window root -crop "$1" rgb:- 2>/dev/null | md5sum; }

# shoot NAME GEOMETRY BEFORE: waits until that part of the screen has changed
# from BEFORE (a snap taken before the action) and stopped changing, then
# saves it.
shoot() {
    local previous="" current i
    for ((i = 0; i < 60; i++)); do
        sleep 0.5
        current=$(snap "$2")
        [ "$current" != "$3" ] && [ "$current" = "$previous" ] && break
        previous=$current
    done
    import -window root -crop "$2" +repage "$out/$1.png" || tw_die "no picture of $1"
    echo "saved docs/screenshots/$1.png"
}

# The windows open centred in the work area (1024x748); the popup and the
# menu stand at the bottom-right corner, by the tray icon.
centre=440x460+292+144
whole=1024x768+0+0
no_x=965 no_y=699       # the popup's 否(&N), its top at 748 - 157 and its left at 1024 - 207
corner=360x300+664+468
icon_x=1014 icon_y=758  # Wine's taskbar draws the first icon rightmost, 20 px wide
open_x=960 open_y=703   # "打开程序(&O)": the menu opens above and left of the icon

before=$(snap "$centre")
(cd "$TW_PREFIX/drive_c/tovrane/work" && wine 'C:\tovrane\Tovrane.exe') &
shoot reminder "$centre" "$before"
before=$(snap "$corner")
xdotool key Return  # OK: Tovrane settles into the tray
sleep 1
xdotool mousemove $icon_x $icon_y click 3
sleep 0.5
xdotool mousemove $open_x $open_y  # on the first item, off the icon's tooltip
shoot traymenu "$corner" "$before"
before=$(snap "$centre")
xdotool click 1
shoot form1 "$centre" "$before"
before=$(snap "$centre")
# The focus starts on the check box; the next control is "程序说明".
xdotool key Tab sleep 0.3 key space
shoot form3 "$centre" "$before"

before=$(snap "$corner")
(cd "$TW_PREFIX/drive_c/tovrane/work" &&
    wine 'C:\tovrane\stick.exe' worm F "$(tw_drive_folder F)" >/dev/null)
sleep 2.5  # the slide, and the first seconds of the countdown
shoot popup "$corner" "$before"

# The stick was a worm's: once the popup has closed, its folders are back and
# the launchers in 已隔离的可疑文件; Explorer shows the stick and Notepad the
# record.
record="$(tw_drive_folder F)/已隔离的可疑文件/说明.txt"
for ((i = 0; i < 300; i++)); do
    [ -f "$record" ] && [ -z "$(find "$(tw_drive_folder F)" -maxdepth 1 -name '*.lnk')" ] && break
    sleep 0.1
done
[ -f "$record" ] || tw_die "the worm stick was not repaired"
xdotool mousemove $no_x $no_y click 1  # 否(&N): the popup goes
before=$(snap "$whole")
# Notepad in a face that has the full-width punctuation; Wine's default has not.
wine reg add 'HKCU\Software\Microsoft\Notepad' /v lfFaceName /t REG_SZ /d 'WenQuanYi Micro Hei' \
    /f >/dev/null 2>&1
(cd "$TW_PREFIX/drive_c/tovrane/work" && wine explorer 'F:\') &
sleep 2
(cd "$TW_PREFIX/drive_c/tovrane/work" && wine notepad 'F:\已隔离的可疑文件\说明.txt') &
for ((i = 0; i < 100; i++)); do
    notepad=$(xdotool search --name '说明.txt' 2>/dev/null | head -n 1)
    [ -n "$notepad" ] && break
    sleep 0.1
done
# Side by side: the stick in Explorer on the left, the record on the right.
[ -n "$notepad" ] && xdotool windowmove "$notepad" 300 40 windowsize "$notepad" 720 560
shoot repaired "$whole" "$before"
