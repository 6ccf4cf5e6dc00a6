# The Wine suites, registered with CTest in the host build. Each runs one
# program of the win32 build (TOVRANE_WIN32_DIR) through run-suite.sh, in a
# Wine prefix, display and wineserver of its own.
#
# add_wine_suite(NAME name PROGRAM path/in/win32/build.exe
#                [INSTALL path/in/win32/build ...]   copied beside the program
#                [DRIVES L=type[:state] ...]         see run-suite.sh
#                [SEEDS L=folder ...]                folders relative to this one
#                [LOCALE zh_CN|C] [TIMEOUT seconds] [DESKTOP]
#                [ARGS program arguments ...])
# registers the test "wine.<name>". DESKTOP runs the suite in Wine's virtual
# desktop, whose taskbar makes the work area smaller than the screen.

set(TOVRANE_WINE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(add_wine_suite)
    cmake_parse_arguments(SUITE "DESKTOP" "NAME;PROGRAM;LOCALE;TIMEOUT" "INSTALL;DRIVES;SEEDS;ARGS"
                          ${ARGN})
    if(NOT SUITE_NAME OR NOT SUITE_PROGRAM)
        message(FATAL_ERROR "add_wine_suite needs NAME and PROGRAM")
    endif()
    if(NOT SUITE_LOCALE)
        set(SUITE_LOCALE zh_CN)
    endif()
    if(NOT SUITE_TIMEOUT)
        set(SUITE_TIMEOUT 240)
    endif()

    set(options --win32 ${TOVRANE_WIN32_DIR} --name ${SUITE_NAME} --locale ${SUITE_LOCALE}
                --timeout ${SUITE_TIMEOUT})
    if(SUITE_DESKTOP)
        list(APPEND options --desktop)
    endif()
    foreach(drive IN LISTS SUITE_DRIVES)
        list(APPEND options --drive ${drive})
    endforeach()
    foreach(seed IN LISTS SUITE_SEEDS)
        string(REGEX REPLACE "^([A-Za-z])=(.*)$" "\\1=${TOVRANE_WINE_DIR}/\\2" seed ${seed})
        list(APPEND options --seed ${seed})
    endforeach()
    foreach(file IN LISTS SUITE_INSTALL)
        list(APPEND options --install ${TOVRANE_WIN32_DIR}/${file})
    endforeach()

    add_test(NAME wine.${SUITE_NAME}
             COMMAND bash ${TOVRANE_WINE_DIR}/run-suite.sh ${options}
                     -- ${TOVRANE_WIN32_DIR}/${SUITE_PROGRAM} ${SUITE_ARGS})
    # run-suite.sh bounds the program; set-up and tear-down get a minute more.
    math(EXPR bound "${SUITE_TIMEOUT} + 60")
    set_tests_properties(wine.${SUITE_NAME} PROPERTIES TIMEOUT ${bound} LABELS wine)
endfunction()

# Tovrane.exe itself, driven from outside: see ui_tests.cpp. A: stays out of
# the drive lists and must never be touched; G: is an empty card-reader slot.
add_wine_suite(NAME form1 PROGRAM tests/wine/wine_ui_tests.exe
               INSTALL Tovrane.exe tests/wine/decoy_cmd.exe
               DRIVES A=floppy D=hd E=floppy F=cdrom G=floppy:missing
               DESKTOP TIMEOUT 120)
# The windows' texts again under code page 1252: a Unicode program shows them
# right whatever the ANSI code page.
add_wine_suite(NAME form1-cp1252 PROGRAM tests/wine/wine_ui_tests.exe
               INSTALL Tovrane.exe tests/wine/decoy_cmd.exe
               DRIVES A=floppy D=hd E=floppy F=cdrom G=floppy:missing
               LOCALE C DESKTOP TIMEOUT 60 ARGS --gtest_filter=LayoutAndText.*)

# Tovrane.exe meeting device broadcasts, in Wine's virtual desktop: see
# arrival_tests.cpp. E: is a stick the test plugs in while Tovrane runs.
add_wine_suite(NAME arrival PROGRAM tests/wine/wine_arrival_tests.exe
               INSTALL Tovrane.exe tests/wine/probe.dll
               DRIVES B=floppy:readonly D=hd E=floppy:unplugged F=cdrom H=floppy
               SEEDS B=seed/stale-autorun
               DESKTOP TIMEOUT 180)

# Tovrane.exe over a whole run, in Wine's virtual desktop, clicked through
# its real tray icon: see tray_tests.cpp. E: is a stick the test plugs in.
add_wine_suite(NAME tray PROGRAM tests/wine/wine_tray_tests.exe
               INSTALL Tovrane.exe tests/wine/probe.dll
               DRIVES D=hd E=floppy:unplugged F=floppy G=floppy H=floppy
               DESKTOP TIMEOUT 180)

# Tovrane.exe under load, faults and hostile input: see robust_tests.cpp.
add_wine_suite(NAME robust PROGRAM tests/wine/wine_robust_tests.exe
               INSTALL Tovrane.exe
               DRIVES B=floppy:readonly D=hd E=floppy F=floppy:unplugged H=floppy
               SEEDS B=seed/stale-autorun
               DESKTOP TIMEOUT 240)
