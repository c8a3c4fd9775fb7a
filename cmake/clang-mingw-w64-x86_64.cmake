# The second compiler: clang for 64-bit Windows (x86_64-w64-windows-gnu) against the same MinGW-w64
# sysroot, C++ library and codec libraries as the GCC cross build, linked by lld. It meets the
# code as another compiler than GCC does, so what only GCC accepts shows up here first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-windows-gnu)
set(CMAKE_CXX_COMPILER_TARGET x86_64-w64-windows-gnu)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-ar)
set(CMAKE_RANLIB ${triple}-ranlib)
set(CMAKE_NM ${triple}-nm)
set(CMAKE_DLLTOOL ${triple}-dlltool)
set(CMAKE_OBJDUMP ${triple}-objdump)

# Clang does not find the cross GCC's C++ library in Debian's "<version>-posix" folder by itself.
file(GLOB gcc_folders /usr/lib/gcc/${triple}/*-posix)
if(NOT gcc_folders)
    message(FATAL_ERROR "No MinGW-w64 GCC (posix threads) under /usr/lib/gcc/${triple}")
endif()
list(SORT gcc_folders)
list(GET gcc_folders -1 gcc_folder)
set(cxx_include ${gcc_folder}/include/c++)
# The C++ library was built by GCC, which for MinGW predefines __GXX_TYPEINFO_EQUALITY_INLINE as
# 0: type_info's comparison is the library's own function. clang does not, and then compiles the
# header's inline copy, which lld meets a second time in the library wherever it is not inlined.
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${cxx_include} -isystem ${cxx_include}/${triple} -isystem ${cxx_include}/backward \
-D__GXX_TYPEINFO_EQUALITY_INLINE=0")
# std::thread is the MinGW-w64 pthreads library's, linked statically like the rest (lld takes
# archives in any order, so the option may stand before the objects).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_folder} -lpthread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${gcc_folder} -lpthread")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
