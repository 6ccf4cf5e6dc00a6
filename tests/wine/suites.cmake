# The Wine suites, registered with CTest in the host build. Each runs one
# program of the Windows build TOVRANE_WINE_BUILD_DIR (build/win32, or
# build/win64 where Wine runs no 32-bit programs) through run-suite.sh, in
# Wine's virtual desktop with a prefix, display and wineserver of its own,
# and with Tovrane.exe, probe.dll and decoy_cmd.exe beside it.
#
# add_wine_suite(NAME PROGRAM TIMEOUT [OPTION ...]) registers "wine.NAME", which
# runs wine_PROGRAM_tests.exe for at most TIMEOUT seconds; the OPTIONs go to
# run-suite.sh (--drive L=type[:state], --locale zh_CN|C). A readonly drive
# holds a stale autorun.inf.

set(TOVRANE_WINE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(add_wine_suite name program timeout)
    set(build ${TOVRANE_WINE_BUILD_DIR})
    add_test(NAME wine.${name}
             COMMAND bash ${TOVRANE_WINE_DIR}/run-suite.sh --build ${build} --name ${name}
                     --timeout ${timeout} ${ARGN} -- ${build}/tests/wine/wine_${program}_tests.exe)
    # run-suite.sh bounds the program; set-up and tear-down get a minute more.
    math(EXPR bound "${timeout} + 60")
    set_tests_properties(wine.${name} PROPERTIES TIMEOUT ${bound} LABELS wine)
endfunction()

# Tovrane.exe itself, driven from outside: see ui_tests.cpp. A: stays out of
# the drive lists and must never be touched; G: is an empty card-reader slot.
set(form1 --drive A=floppy --drive D=hd --drive E=floppy --drive F=cdrom --drive G=floppy:missing)
add_wine_suite(form1 ui 120 ${form1})
# The windows' texts again under code page 1252: a Unicode program shows them
# right whatever the ANSI code page.
add_wine_suite(form1-cp1252 ui 60 ${form1} --locale C)
set_property(TEST wine.form1-cp1252 APPEND PROPERTY ENVIRONMENT GTEST_FILTER=LayoutAndText.*)

# Tovrane.exe meeting device broadcasts: see arrival_tests.cpp. E: is a stick
# the test plugs in while Tovrane runs.
add_wine_suite(arrival arrival 180 --drive B=floppy:readonly --drive D=hd
               --drive E=floppy:unplugged --drive F=cdrom --drive H=floppy)

# Tovrane.exe over a whole run, clicked through its real tray icon: see
# tray_tests.cpp. E: is a stick the test plugs in.
add_wine_suite(tray tray 180 --drive D=hd --drive E=floppy:unplugged --drive F=floppy
               --drive G=floppy --drive H=floppy)

# Tovrane.exe under load, faults and hostile input: see robust_tests.cpp.
add_wine_suite(robust robust 240 --drive B=floppy:readonly --drive D=hd
               --drive E=floppy --drive F=floppy:unplugged --drive H=floppy)

# Tovrane.exe meeting sticks a shortcut worm has been at: see worm_tests.cpp.
# E: is the worm stick the test plugs in; G: is frozen when the test asks;
# drive_c is watched for writes.
add_wine_suite(worm worm 180 --drive D=hd --drive E=floppy:unplugged --drive F=floppy
               --drive G=floppy:freezable --drive H=floppy --watch-c)
