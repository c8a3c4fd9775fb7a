# Test code (the unit and window tests, their support library, GoogleTest and the test tools) is
# compiled without optimisation: it only drives the product, whose own libraries keep their build
# type's optimisation, and optimising the tests' macro-heavy code costs three times their
# compile time for nothing a test checks. Its debug information is line tables only (-g1), enough
# for a crash's backtrace, at a tenth less compile time and a third smaller objects. Where
# CORVALO_UNITY_TESTS is on (CMakeLists.txt), each test target is a unity build.
#
# corvalo_test_code(<target>...)
function(corvalo_test_code)
    foreach(target ${ARGN})
        if(NOT TARGET ${target})
            continue()
        endif()
        get_target_property(type ${target} TYPE)
        get_target_property(imported ${target} IMPORTED)
        if(type STREQUAL "INTERFACE_LIBRARY" OR imported)
            continue()
        endif()
        if(CORVALO_UNITY_TESTS)
            set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
        endif()
        if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT MSVC)
            target_compile_options(${target} PRIVATE -O0 -g1)
        endif()
    endforeach()
endfunction()
