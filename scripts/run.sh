#!/usr/bin/env bash
# Builds Tovrane and runs it under Wine as a user meets it: in a virtual
# desktop whose taskbar shows the notification area, with a demo removable
# drive E: already plugged in that holds an autorun.inf file. Tovrane reminds
# you of the stick, then settles into the tray at the taskbar's right end:
#   double-click the icon      the main window
#   right-click the icon       the menu: 打开程序, 程序说明, 退    出 (quit)
#   scripts/stick.sh plug      plugs a stick F: in: the popup slides up
#   scripts/stick.sh pull      pulls it out again
# The desktop shows on your display when there is one ($DISPLAY), otherwise
# on a private Xvfb display of which build/demo.png is a picture, refreshed
# every few seconds. The demo ends when Tovrane quits (or on Ctrl+C); its
# prefix and drives are removed then. Where Wine runs no 32-bit programs, the
# demo runs the 64-bit build of the same sources (scripts/wine-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/build.sh windows

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
set +e  # the harness checks its own steps

tw_select_mode || exit 2
build=$root/build/$TW_MODE
wine_dir=$build/wine
tw_prepare "$wine_dir" zh_CN || exit 2

run_dir=$wine_dir/demo
if [ -d "$run_dir" ]; then
    WINEPREFIX=$run_dir/prefix timeout 30 wineserver -k 2>/dev/null
    rm -rf "$run_dir"
fi
mkdir -p "$run_dir"
trap tw_cleanup EXIT
trap 'exit 130' INT TERM

tw_new_prefix "$TW_TEMPLATE" "$run_dir"
tw_map_drive E floppy folder
printf '[autorun]\r\nopen=virus.exe\r\n' >"$(tw_drive_folder E)/autorun.inf"
tw_write_drive_types
tw_use_shell_desktop
cp "$build/Tovrane.exe" "$TW_PREFIX/drive_c/tovrane/" || exit 2

shown_here=""
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    shown_here=1
else
    tw_start_display
fi
tw_start_wineserver
# scripts/stick.sh plugs sticks into this session: it needs the display and to know the demo runs.
printf 'DISPLAY=%s\nDEMO_PID=%s\n' "$DISPLAY" "$$" >"$run_dir/session"

echo "Tovrane runs under Wine on display $DISPLAY, in a virtual desktop ($(tw_mode_summary))."
echo "Demo drive E: is $(tw_drive_folder E) (a removable drive with an autorun.inf file)."
echo "Answer the reminder; then double-click Tovrane's icon at the right end of the"
echo "taskbar to open its window, or right-click it for the menu (退    出 quits)."
echo "Plug a demo stick F: in with scripts/stick.sh plug, pull it out with scripts/stick.sh pull."
cd "$TW_PREFIX/drive_c/tovrane/work"
if [ -n "$shown_here" ]; then
    wine 'C:\tovrane\Tovrane.exe'
else
    echo "No display of yours: look at build/demo.png (refreshed every 3 s), or run"
    echo "  DISPLAY=$DISPLAY import -window root shot.png"
    echo "Press Ctrl+C to end the demo."
    wine 'C:\tovrane\Tovrane.exe' &
    program=$!
    while kill -0 "$program" 2>/dev/null; do
        sleep 3
        import -window root "$root/build/demo.new.png" 2>/dev/null &&
            mv "$root/build/demo.new.png" "$root/build/demo.png"
    done
fi
