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
        # clang at -O0 for MinGW keeps libstdc++'s inline type_info comparison out of line, and
        # lld then meets it a second time in the C++ library itself: the two are the same code.
        if(type STREQUAL "EXECUTABLE" AND MINGW AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            target_link_options(${target} PRIVATE -Wl,--allow-multiple-definition)
        endif()
    endforeach()
endfunction()
