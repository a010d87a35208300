# Cross-builds for 64-bit Windows with Debian's mingw-w64, whose -posix compilers give
# std::thread and std::mutex:
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DPELMO_GUI=OFF
# Without a Windows Qt kit only the channel, the codec, their tests and benchmarks build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELMO_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${PELMO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELMO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PELMO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELMO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run without the compiler's DLLs beside them (and so under Wine as they are).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
