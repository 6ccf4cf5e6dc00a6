# Keeps the shipped Windows programs small: Tovrane.exe is one statically
# linked exe, and the `size` test fails when it outgrows 150 KB. Nearly all of
# its 350 KB were libstdc++'s exception machinery, which nothing in Tovrane
# uses.
#
#   tovrane_small_code(target)     compiles the target's code for a small program
#   tovrane_small_program(target)  the same, and links the executable small
#
# Code compiled this way may also be linked into the test programs, which keep
# exceptions and libstdc++'s own runtime: it throws none itself, and should
# one come from beneath it (std::bad_alloc), the test program ends, as
# Tovrane would.

# Without exceptions a failure that would throw aborts instead (see
# platform/SmallRuntime.cpp); no RTTI, as nothing asks for a type at run time;
# and no lock around the first use of a function's static, as each program
# works its statics from one thread only. Unwind tables serve only exceptions
# and debuggers. One section per function and datum lets the linker drop what
# is not called.
set(TOVRANE_SMALL_CODE_OPTIONS
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>
    -fno-asynchronous-unwind-tables -ffunction-sections -fdata-sections)

function(tovrane_small_code target)
    target_compile_options(${target} PRIVATE ${TOVRANE_SMALL_CODE_OPTIONS}
                           $<$<NOT:$<CONFIG:Debug>>:-Os>)
endfunction()

function(tovrane_small_program target)
    tovrane_small_code(${target})
    # An object library, so that its definitions are always in the link ahead
    # of libstdc++.a, whatever the order of the libraries.
    target_link_libraries(${target} PRIVATE tovrane_small_runtime)
    # Unused sections dropped; stripped unless debugging.
    target_link_options(${target} PRIVATE -Wl,--gc-sections $<$<NOT:$<CONFIG:Debug>>:-s>)
endfunction()
