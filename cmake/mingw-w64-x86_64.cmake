# Cross build for 64-bit Windows with Debian's mingw-w64 compilers:
#   cmake -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Libraries come from the mingw sysroot and from the folder that
# scripts/windows-deps.sh fills (HVX_WIN_DEPS, by default
# ~/.cache/hvx-win-deps); nothing of the Linux host's is looked at. Programs are
# linked statically, so one .exe runs by itself, and ctest runs them with Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# Windows 10: libzmq takes its _WIN32_WINNT from this.
set(CMAKE_SYSTEM_VERSION 10.0)

set(_hvx_triplet x86_64-w64-mingw32)
# The -posix compilers: GCC's default win32 thread model has no std::thread.
set(CMAKE_C_COMPILER ${_hvx_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_hvx_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_hvx_triplet}-windres)

if(NOT HVX_WIN_DEPS)
  if(DEFINED ENV{HVX_WIN_DEPS} AND NOT "$ENV{HVX_WIN_DEPS}" STREQUAL "")
    set(HVX_WIN_DEPS "$ENV{HVX_WIN_DEPS}")
  else()
    set(HVX_WIN_DEPS "$ENV{HOME}/.cache/hvx-win-deps")
  endif()
endif()
set(HVX_WIN_DEPS "${HVX_WIN_DEPS}" CACHE PATH "Windows libraries built by scripts/windows-deps.sh")
# try_compile() projects read this file again; hand them the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HVX_WIN_DEPS)

# The deps folder first: its static libraries win over any copy in the mingw
# sysroot (Debian's libz-mingw-w64-dev, say, puts a zlib DLL's import library
# there).
set(CMAKE_FIND_ROOT_PATH "${HVX_WIN_DEPS}" /usr/${_hvx_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the deps folder's .pc files and no others.
set(PKG_CONFIG_EXECUTABLE ${_hvx_triplet}-pkg-config CACHE FILEPATH "pkg-config for Windows")
set(ENV{PKG_CONFIG_LIBDIR} "${HVX_WIN_DEPS}/lib/pkgconfig")
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# libgcc, libstdc++ and winpthread go into the .exe: no DLLs to ship or to find.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Test programs (ctest, gtest_discover_tests) run under Wine.
find_program(HVX_WINE wine)
if(HVX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${HVX_WINE}")
endif()
