# Cross-building Nerolin for 64-bit Windows with Debian's MinGW-w64 g++.
# Only the posix-thread flavour of the compiler has std::thread and
# std::mutex. NEROLIN_WINDOWS_PREFIX names the folder that scripts/windows-deps
# filled with the Windows builds of OpenSSL, curl, SQLite, googletest,
# qrcodegen and the header-only libraries; `./run test-windows` passes it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NEROLIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NEROLIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NEROLIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${NEROLIN_MINGW_TRIPLET}-windres)

if(NOT NEROLIN_WINDOWS_PREFIX AND DEFINED ENV{NEROLIN_WINDOWS_PREFIX})
  set(NEROLIN_WINDOWS_PREFIX $ENV{NEROLIN_WINDOWS_PREFIX})
endif()
if(NOT NEROLIN_WINDOWS_PREFIX)
  message(FATAL_ERROR "Set NEROLIN_WINDOWS_PREFIX to the folder that scripts/windows-deps prints")
endif()
# try_compile projects read this file again and need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NEROLIN_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${NEROLIN_WINDOWS_PREFIX} /usr/${NEROLIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees the prefix's .pc files only, never the machine's own.
set(ENV{PKG_CONFIG_LIBDIR} ${NEROLIN_WINDOWS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(OPENSSL_ROOT_DIR ${NEROLIN_WINDOWS_PREFIX})
set(OPENSSL_USE_STATIC_LIBS ON)
# Programs carry their runtime: no libstdc++/libgcc/winpthread DLLs to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
