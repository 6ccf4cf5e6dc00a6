#!/usr/bin/env bash
# Builds Tovrane and runs it under Wine, in a prefix of its own with one demo
# removable drive E: that holds an autorun.inf file. It shows on your display
# when there is one ($DISPLAY), otherwise on a private Xvfb display of which
# it saves a picture to build/demo.png every few seconds.
# Close Tovrane's window (or press Ctrl+C) to end the demo; the prefix and the
# demo drive are removed then.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/build.sh win32

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
set +e  # the harness checks its own steps

wine_dir=$root/build/win32/wine
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
cp build/win32/Tovrane.exe "$TW_PREFIX/drive_c/tovrane/" || exit 2

shown_here=""
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    shown_here=1
else
    tw_start_display
fi
tw_start_wineserver

echo "Tovrane runs under Wine on display $DISPLAY."
echo "Demo drive E: is $(tw_drive_folder E) (a removable drive with an autorun.inf file)."
echo "Wine prefix: $TW_PREFIX"
cd "$TW_PREFIX/drive_c/tovrane/work"
if [ -n "$shown_here" ]; then
    wine 'C:\tovrane\Tovrane.exe'
else
    echo "No display of yours: look at build/demo.png (refreshed every 3 s), or run"
    echo "  DISPLAY=$DISPLAY import -window root shot.png"
    echo "Press Ctrl+C to end the demo."
    # A virtual desktop draws the windows' frames and captions, which a bare
    # Xvfb without a window manager leaves out.
    wine explorer /desktop=Tovrane,1024x768 'C:\tovrane\Tovrane.exe' &
    program=$!
    while kill -0 "$program" 2>/dev/null; do
        sleep 3
        import -window root "$root/build/demo.new.png" 2>/dev/null &&
            mv "$root/build/demo.new.png" "$root/build/demo.png"
    done
fi
