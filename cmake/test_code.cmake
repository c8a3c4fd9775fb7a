# Test code (the unit and window tests, their support library, GoogleTest and the test tools) is
# compiled without optimisation: it only drives the product, whose own libraries keep their build
# type's optimisation, and optimising the tests' macro-heavy code costs three times their
# compile time for nothing a test checks. Its debug information is line tables only (-g1), enough
# for a crash's backtrace, at a tenth less compile time and a third smaller objects.
#
# corvalo_unoptimised_test_code(<target>...)
function(corvalo_unoptimised_test_code)
    if(MSVC OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        return()
    endif()
    foreach(target ${ARGN})
        if(NOT TARGET ${target})
            continue()
        endif()
        get_target_property(type ${target} TYPE)
        get_target_property(imported ${target} IMPORTED)
        if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT imported)
            target_compile_options(${target} PRIVATE -O0 -g1)
        endif()
    endforeach()
endfunction()

# GCC spends most of a test file's compile time parsing GoogleTest, <windows.h> and the C++
# library's headers; each test exe parses them once, into a precompiled header. GCC's trees only:
# the second compiler's tree compiles every test file on its own, over the same headers, so a test
# file that misses an include still fails there. The product's code is never compiled this way.
#
# corvalo_precompiled_test_headers(<target> [WINDOWS] [REUSE_FROM <target>])
function(corvalo_precompiled_test_headers target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "WINDOWS" "REUSE_FROM" "")
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        return()
    endif()
    if(arg_REUSE_FROM)
        target_precompile_headers(${target} REUSE_FROM ${arg_REUSE_FROM})
        return()
    endif()
    set(headers <gtest/gtest.h> <algorithm> <cstdint> <cstring> <functional> <memory> <optional>
                <string> <string_view> <vector>)
    if(arg_WINDOWS)
        list(APPEND headers <windows.h> <commctrl.h> <ole2.h> <shlobj.h>)
    endif()
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
