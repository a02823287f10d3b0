# Cross build of the 64-bit Windows DLL with MinGW-w64 (Debian g++-mingw-w64-x86-64-posix): the
# same sources as the 32-bit DLL, for 64-bit hosts.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs of this build run under 64-bit Wine, which starts on kernels without 32-bit
# support too. Debian's /usr/bin/wine looks for the 32-bit loader first; wine64 is the loader.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
