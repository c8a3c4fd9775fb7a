# What both Windows cross toolchains share (cmake/mingw-w64-x86_64.cmake with GCC,
# cmake/clang-mingw-w64-x86_64.cmake with clang): the MinGW-w64 sysroot and the codec prefix as
# the only places libraries, headers and packages are found, and Wine to run what was built.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CORVALO_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(WINE_PROGRAM NAMES wine wine64)
if(WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
