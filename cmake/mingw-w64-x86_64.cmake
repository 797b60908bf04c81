# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers, in their POSIX thread
# model (GoogleTest needs std::mutex). Test programs run under Wine through wine-run.sh
# beside this file, with Wine's state in the build folder (wine/).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JNX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${JNX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JNX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${JNX_MINGW_TRIPLET}-windres)

# Libraries and packages come from the MinGW tree (or from a package folder named on the
# command line, such as GoogleTest built with this file); programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${JNX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime is linked in, so that a program runs without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wine")
