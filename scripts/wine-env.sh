# Wine sessions for the test suites: a template prefix per build, a private
# copy of it per suite with mapped drives, a private X display and a private
# wineserver, all torn down again. Sourced by tests/wine/run-suite.sh (see
# tests/wine/README.md) and by the run, stick, screenshot and bench scripts;
# build.sh asks it only for the mode.
#
# Everything started here is stopped by its pid, or by "wineserver -k" under
# the suite's own WINEPREFIX: other Wine sessions run on the same machine.
#
# Which Wine runs them is decided here, in tw_select_mode, for every script:
#   win32  the 32-bit programs of build/win32, Tovrane as it ships, under
#          Debian's 32-bit loader in a win32 prefix;
#   win64  where that loader cannot start (a kernel booted without 32-bit
#          emulation answers "Exec format error"): a 64-bit build of the same
#          sources, build/win64, under wine64 in a win64 prefix.

TW_RUN_DIR=""          # this suite's folder: prefix, drive folders, logs
TW_PREFIX=""           # this suite's WINEPREFIX
TW_XVFB_PID=""
TW_PROGRAM_PID=""      # the "timeout wine PROGRAM" of tw_run_program
TW_DRIVE_TYPES=()      # registry lines for the mapped drives' types
TW_FROZEN=()           # drive folders that may be immutable, to thaw at the end
TW_FREEZABLE=()        # drive folders frozen, items and all, when a test asks
TW_HELPER_PIDS=()      # the freezer and the drive_c watch, stopped at the end
TW_KEEP=""             # non-empty: leave TW_RUN_DIR for inspection
TW_TEMPLATE=""         # the build's template prefix, once tw_prepare ran
TW_MODE=""             # win32 or win64, once tw_select_mode ran

TW_WINE32_LOADER=/usr/lib/wine/wine    # Debian's wine32
TW_WINE64_LOADER=/usr/lib/wine/wine64  # Debian's wine64

tw_log() { printf 'wine-env: %s\n' "$*" >&2; }
tw_die() {
    tw_log "error: $*"
    exit 2
}

# tw_select_mode: sets TW_MODE to win32 when the 32-bit loader starts here,
# else to win64 when the 64-bit one does; fails when neither does.
tw_select_mode() {
    if "$TW_WINE32_LOADER" --version >/dev/null 2>&1; then
        TW_MODE=win32
    elif "$TW_WINE64_LOADER" --version >/dev/null 2>&1; then
        TW_MODE=win64
    else
        tw_log "neither $TW_WINE32_LOADER nor $TW_WINE64_LOADER starts here (scripts/setup.sh installs them)"
        return 1
    fi
}

# tw_wine_mode: prints win32 or win64, as tw_select_mode decides.
tw_wine_mode() { tw_select_mode && printf '%s\n' "$TW_MODE"; }

# tw_mode_summary: one line saying what runs in this mode, and why.
tw_mode_summary() {
    case $TW_MODE in
    win32) echo "win32 mode: the 32-bit build under Wine's 32-bit loader in a win32 prefix" ;;
    win64) echo "win64 mode: the 64-bit build of the same sources under wine64 in a win64 prefix, as $TW_WINE32_LOADER (32-bit) cannot start here" ;;
    esac
}

# tw_toolchain MODE: the toolchain file in cmake/ that builds the Windows
# programs for the mode.
tw_toolchain() {
    case $1 in
    win32) echo mingw-i686.cmake ;;
    win64) echo mingw-x86_64.cmake ;;
    esac
}

# tw_exe_mode FILE: prints win32 or win64 for a 32-bit (i386) or 64-bit
# (x86-64) Windows program or DLL, read from its PE header.
tw_exe_mode() {
    local offset machine
    offset=$(od -An -tu4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
    [[ $offset =~ ^[0-9]+$ ]] || return 1
    machine=$(od -An -tx2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' ')
    case $machine in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) return 1 ;;
    esac
}

# _tw_wine64_on_path DIR: "wine" reaches wine64 in this shell and its
# children. Debian's /usr/bin/wine, and wineboot and regedit through it, pick
# the 32-bit loader whenever that file is executable, whether it can start or
# not. The wine64 loader takes the name it was started by for the loader of
# the processes it starts, so "wine" is a script, not a link.
_tw_wine64_on_path() {
    local dir=$1 script
    script="exec $TW_WINE64_LOADER \"\$@\""
    if [ "$(sed -n 2p "$dir/wine" 2>/dev/null)" != "$script" ]; then
        # Written aside and renamed: suites prepare in parallel, and none may
        # ever find half a script.
        mkdir -p "$dir" && printf '#!/bin/sh\n%s\n' "$script" >"$dir/wine.$$" &&
            chmod +x "$dir/wine.$$" && mv -f "$dir/wine.$$" "$dir/wine" ||
            tw_die "could not make $dir/wine"
    fi
    case ":$PATH:" in
    *":$dir:"*) ;;
    *) export PATH="$dir:$PATH" ;;
    esac
    export WINELOADER=$TW_WINE64_LOADER
}

# The settings every Wine process of the suites runs with: a prefix of the
# mode's kind, no Mono or Gecko prompts, and no menu entries or file
# associations written into the host's home.
tw_wine_defaults() {
    export WINEARCH=$TW_MODE
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINEDEBUG="${WINEDEBUG:--all}"
}

# tw_locked LOCKFILE COMMAND...: runs COMMAND while holding LOCKFILE, so that
# suites started in parallel by CTest build a shared thing only once.
tw_locked() {
    local lock=$1 fd status
    shift
    exec {fd}>"$lock" || return 1
    if ! flock -w 900 "$fd"; then
        exec {fd}>&-
        tw_log "gave up waiting for $lock"
        return 1
    fi
    "$@"
    status=$?
    exec {fd}>&-
    return $status
}

# tw_locale_dir WINE_DIR: prints a LOCPATH holding zh_CN.UTF-8. Debian's
# images lack that locale; it is compiled once per build, beside the build,
# and the system is left as it is.
tw_locale_dir() {
    local dir=$1/locale
    # Output goes to stderr: the caller reads the path from stdout.
    [ -f "$dir/zh_CN.UTF-8/LC_CTYPE" ] || tw_locked "$1/locale.lock" _tw_make_locale "$dir" >&2 ||
        tw_die "could not compile the zh_CN.UTF-8 locale"
    printf '%s\n' "$dir"
}

_tw_make_locale() {
    local dir=$1
    [ -f "$dir/zh_CN.UTF-8/LC_CTYPE" ] && return 0
    mkdir -p "$dir" && rm -rf "$dir/new" || return 1
    localedef -i zh_CN -f UTF-8 "$dir/new"
    [ -f "$dir/new/LC_CTYPE" ] && mv "$dir/new" "$dir/zh_CN.UTF-8"
}

# tw_template WINE_DIR: prints the path of the build's template prefix,
# making it first when it is missing.
tw_template() {
    local template=$1/template
    # A prefix serves one mode only: a win32 one has no 64-bit system folder.
    grep -qsx "$TW_MODE" "$template/.tovrane-template" ||
        tw_locked "$1/template.lock" _tw_make_template "$template" >&2 ||
        tw_die "could not make the template prefix $template"
    printf '%s\n' "$template"
}

_tw_make_template() {
    local template=$1 new=$1.new
    grep -qsx "$TW_MODE" "$template/.tovrane-template" && return 0
    tw_log "making the $TW_MODE template prefix (once per build, about 15 s)"
    rm -rf "$template" "$new"
    mkdir -p "$(dirname "$new")" || return 1
    (
        # Its own wineserver, no display, and a neutral locale: each suite
        # sets its own locale and display when it runs.
        export WINEPREFIX=$new LANG=C
        unset DISPLAY LC_ALL
        tw_wine_defaults
        # "wine wineboot", not the wineboot wrapper, which would take the
        # 32-bit loader in win64 mode.
        timeout 300 wine wineboot -i || exit 1

        # Caption buttons are drawn with Marlett, which Debian's Wine does not
        # find where fonts-wine installs it.
        cp /usr/share/wine/fonts/*.ttf "$new/drive_c/windows/Fonts/" || exit 1

        # Under zh_CN a request for the Kai face would get WenQuanYi.
        printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n%s\r\n\r\n' \
            '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
            '"楷体_GB2312"="AR PL UKai CN"' |
            iconv -f UTF-8 -t UTF-16 >"$new/drive_c/fonts.reg" || exit 1
        (cd "$new/drive_c" && timeout 60 wine regedit /S 'C:\fonts.reg') || exit 1
        rm -f "$new/drive_c/fonts.reg"
        timeout 60 wineserver -w || { wineserver -k; exit 1; }
        grep -q '^"\\x6977\\x4f53_GB2312"="AR PL UKai CN"' "$new/system.reg" || {
            tw_log "the FontSubstitutes entry did not reach the registry"
            exit 1
        }
    ) || {
        WINEPREFIX=$new timeout 30 wineserver -k 2>/dev/null
        return 1
    }

    # Z: maps the machine's root: a test that protects every drive would
    # write there. The profile folders link into the host's home; the tests
    # get folders of their own instead.
    rm -f "$new/dosdevices/z:"
    local link
    for link in "$new"/drive_c/users/*/*; do
        if [ -L "$link" ]; then
            rm -f "$link" && mkdir "$link" || return 1
        fi
    done
    echo "$TW_MODE" >"$new/.tovrane-template" && mv "$new" "$template"
}

# tw_prepare WINE_DIR LOCALE: sets this shell's locale (zh_CN: code page
# 936; C: code page 1252) and Wine settings for the mode (tw_select_mode, if
# it did not run yet), and TW_TEMPLATE to the build's template prefix, making
# the compiled locale and the template when missing.
tw_prepare() {
    local wine_dir=$1 locale=$2
    [ -n "$TW_MODE" ] || tw_select_mode || return 1
    mkdir -p "$wine_dir/runs" || tw_die "cannot write $wine_dir"
    if [ "$TW_MODE" = win64 ]; then
        _tw_wine64_on_path "$wine_dir/bin"
    fi
    unset LC_ALL LANGUAGE
    case $locale in
    zh_CN)
        export LOCPATH
        LOCPATH=$(tw_locale_dir "$wine_dir") || return 1
        export LANG=zh_CN.UTF-8
        ;;
    C) export LANG=C ;;
    *) tw_die "unknown locale '$locale': zh_CN or C" ;;
    esac
    tw_wine_defaults
    TW_TEMPLATE=$(tw_template "$wine_dir")
}

# tw_new_prefix TEMPLATE RUN_DIR: this suite's own copy of the template.
# A full copy: wineserver rewrites system.reg in place, so hard links would
# change the template too.
tw_new_prefix() {
    TW_RUN_DIR=$2
    TW_PREFIX=$2/prefix
    cp -a "$1" "$TW_PREFIX" || tw_die "could not copy the template prefix"
    mkdir -p "$TW_PREFIX/drive_c/tovrane/work" "$TW_RUN_DIR/drives"
    export WINEPREFIX=$TW_PREFIX
}

# tw_map_drive LETTER TYPE STATE
#   TYPE: floppy (removable), cdrom, hd, network, ramdisk
#   STATE: folder   - a fresh empty folder
#          missing  - a link to a folder that does not exist: an empty
#                     card-reader slot (GetDiskFreeSpaceEx fails)
#          readonly - a folder made unwritable by tw_freeze_drive
#          unplugged - a folder only: the drive is not mapped, for a test
#                     to plug in while the session runs
#          freezable - a folder that tw_start_freezer makes unwritable, every
#                     item in it too, once a test leaves a file ".freeze" in
#                     its root: a write-protected stick the test laid out
# The type is written by tw_write_drive_types, before the wineserver starts:
# links and types are both read only when it starts.
tw_map_drive() {
    local letter=${1,,} type=$2 state=$3
    local folder=$TW_RUN_DIR/drives/$letter
    case $type in
    floppy | cdrom | hd | network | ramdisk) ;;
    *) tw_die "unknown drive type '$type'" ;;
    esac
    case $state in
    folder | readonly) mkdir "$folder" || tw_die "could not make $folder" ;;
    freezable)
        mkdir "$folder" || tw_die "could not make $folder"
        TW_FREEZABLE+=("$folder")
        TW_FROZEN+=("$folder")  # thawed at the end, whether or not it was frozen
        ;;
    unplugged)
        mkdir "$folder" || tw_die "could not make $folder"
        return
        ;;
    missing) ;;
    *) tw_die "unknown drive state '$state'" ;;
    esac
    [ -e "$TW_PREFIX/dosdevices/$letter:" ] && tw_die "drive $letter: is mapped already"
    ln -s "$folder" "$TW_PREFIX/dosdevices/$letter:" || tw_die "could not map $letter:"
    TW_DRIVE_TYPES+=("\"$letter:\"=\"$type\"")
}

tw_drive_folder() { printf '%s\n' "$TW_RUN_DIR/drives/${1,,}"; }

# tw_freeze_drive LETTER: makes the drive's root unwritable. The suites run
# as root, whom permission bits do not stop; the immutable flag on the drive's
# folder does (on ext4 even root then gets EPERM): nothing in the root can be
# created, deleted or renamed. The files already there keep their own flags,
# so a test can still see whether their attributes were changed. Fails when
# the flag cannot be set here; the tests that need the drive then skip.
tw_freeze_drive() {
    local folder
    folder=$(tw_drive_folder "$1")
    chattr +i "$folder" 2>/dev/null || return 1
    TW_FROZEN+=("$folder")
    if (: >"$folder/.write-probe") 2>/dev/null; then
        rm -f "$folder/.write-probe"
        return 1
    fi
}

tw_write_drive_types() {
    [ ${#TW_DRIVE_TYPES[@]} -gt 0 ] || return 0
    # Appended as one more section of the same key: Wine merges them on load.
    {
        printf '\n[Software\\\\Wine\\\\Drives] %s\n' "$(date +%s)"
        printf '%s\n' "${TW_DRIVE_TYPES[@]}"
    } >>"$TW_PREFIX/system.reg"
}

# tw_use_shell_desktop: every Wine program of the session runs in one
# virtual desktop of 1024x768 with Wine's shell: window frames, a taskbar
# 20 px high with the notification area, and so a work area smaller than
# the screen. The desktop name "shell" is the one that gets the taskbar.
# Written before the wineserver starts, which reads the registry then.
tw_use_shell_desktop() {
    printf '\n[Software\\\\Wine\\\\Explorer] %s\n"Desktop"="shell"\n' "$(date +%s)" >>"$TW_PREFIX/user.reg"
    printf '\n[Software\\\\Wine\\\\Explorer\\\\Desktops] %s\n"shell"="1024x768"\n' "$(date +%s)" \
        >>"$TW_PREFIX/user.reg"
}

# tw_start_display: a private Xvfb on a display number it picks as free.
tw_start_display() {
    local numberFile=$TW_RUN_DIR/display i
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
        3>"$numberFile" >"$TW_RUN_DIR/xvfb.log" 2>&1 &
    TW_XVFB_PID=$!
    for ((i = 0; i < 100; i++)); do
        [ -s "$numberFile" ] && break
        kill -0 "$TW_XVFB_PID" 2>/dev/null || tw_die "Xvfb failed: $(cat "$TW_RUN_DIR/xvfb.log")"
        sleep 0.1
    done
    [ -s "$numberFile" ] || tw_die "Xvfb did not start within 10 s"
    export DISPLAY=":$(head -n 1 "$numberFile")"
}

tw_start_wineserver() {
    # Its output goes to a file: a daemon holding the suite's output open
    # would keep CTest waiting.
    timeout 30 wineserver -p >"$TW_RUN_DIR/wineserver.log" 2>&1 ||
        tw_die "the wineserver did not start"
}

# tw_run_program TIMEOUT PROGRAM.EXE [ARG...]: runs C:\tovrane\PROGRAM.EXE
# with C:\tovrane\work as its current folder (there is no Z: to start from);
# returns its exit status.
tw_run_program() {
    local bound=$1 program=$2 status
    shift 2
    # In the background: bash runs a trap only once the foreground command
    # has ended, and an interrupted suite must clean up at once.
    (cd "$TW_PREFIX/drive_c/tovrane/work" &&
        exec timeout -k 10 "$bound" wine "C:\\tovrane\\$program" "$@") &
    TW_PROGRAM_PID=$!
    wait "$TW_PROGRAM_PID"
    status=$?
    TW_PROGRAM_PID=""
    [ $status -eq 124 ] && tw_log "$program was stopped after $bound s"
    return $status
}

# The stopped wineserver leaves its folder behind, named after the prefix's
# device and inode, in /tmp/.wine-UID or (Debian) in the /tmp folder that the
# prefix's "wineserver" file names; copies of one template share the latter.
_tw_remove_server_dir() {
    local base=/tmp/.wine-$(id -u)
    [ -f "$TW_PREFIX/wineserver" ] && base=/tmp/$(cat "$TW_PREFIX/wineserver")
    rm -rf "$base/server-$(stat -c %D "$TW_PREFIX")-$(printf %x "$(stat -c %i "$TW_PREFIX")")"
}

# tw_start_freezer: in the background, freezes each freezable drive whose
# root holds ".freeze": every item but the marker is made immutable (chattr
# +i), deepest first, then the marker goes and the drive's folder is frozen
# last. A test that finds the marker gone and the root unwritable finds every
# item unwritable too.
tw_start_freezer() {
    [ ${#TW_FREEZABLE[@]} -gt 0 ] || return 0
    (
        while sleep 0.1; do
            for folder in "${TW_FREEZABLE[@]}"; do
                [ -e "$folder/.freeze" ] || continue
                find "$folder" -mindepth 1 -depth ! -path "$folder/.freeze" -exec chattr +i {} + &&
                    rm -f "$folder/.freeze" && chattr +i "$folder" ||
                    tw_log "could not freeze $folder"
            done
        done
    ) &
    TW_HELPER_PIDS+=($!)
}

# tw_watch_drive_c: records every write under the prefix's drive_c (inotify)
# in $TW_RUN_DIR/drive_c-writes.log, a line each, and exports its path as
# TOVRANE_C_WRITES for the tests, which read it through Wine's \\?\unix.
tw_watch_drive_c() {
    local log=$TW_RUN_DIR/drive_c-writes.log i
    inotifywait -m -r -e create,modify,attrib,moved_to,moved_from,delete --format '%w%f %e' \
        "$TW_PREFIX/drive_c" >"$log" 2>"$log.setup" &
    TW_HELPER_PIDS+=($!)
    for ((i = 0; i < 300; i++)); do
        grep -q "Watches established" "$log.setup" 2>/dev/null && break
        sleep 0.1
    done
    grep -q "Watches established" "$log.setup" || tw_die "the watch on drive_c did not start"
    export TOVRANE_C_WRITES=$log
}

# tw_cleanup: stops what this suite started and removes its folder. Safe to
# call at any stage (it is the EXIT trap).
tw_cleanup() {
    if [ -n "$TW_PROGRAM_PID" ]; then
        kill "$TW_PROGRAM_PID" 2>/dev/null
    fi
    local pid
    for pid in "${TW_HELPER_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    TW_HELPER_PIDS=()
    if [ -n "$TW_PREFIX" ] && [ -d "$TW_PREFIX" ]; then
        # Also ends the explorer windows that "cmd /c start" opened.
        WINEPREFIX=$TW_PREFIX timeout 30 wineserver -k 2>/dev/null
        WINEPREFIX=$TW_PREFIX timeout 30 wineserver -w 2>/dev/null && _tw_remove_server_dir
    fi
    if [ -n "$TW_XVFB_PID" ]; then
        kill "$TW_XVFB_PID" 2>/dev/null
        local i
        for ((i = 0; i < 50; i++)); do
            kill -0 "$TW_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$TW_XVFB_PID" 2>/dev/null
        wait "$TW_XVFB_PID" 2>/dev/null
        TW_XVFB_PID=""
    fi
    local folder
    # Recursively: a freezable drive has its items frozen too.
    for folder in "${TW_FROZEN[@]}"; do
        chattr -R -i "$folder" || tw_log "could not thaw $folder: run chattr -R -i on it"
    done
    TW_FROZEN=() TW_FREEZABLE=()
    if [ -n "$TW_RUN_DIR" ] && [ -d "$TW_RUN_DIR" ]; then
        if [ -n "$TW_KEEP" ]; then
            tw_log "kept $TW_RUN_DIR"
        else
            rm -rf "$TW_RUN_DIR"
        fi
    fi
}
