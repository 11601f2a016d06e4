# Cross build for 64-bit Windows with MinGW-w64 (posix thread model, so
# std::thread and std::mutex work), run under Wine.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program and DLL carries its own runtime: nothing to copy beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Tests run under Wine; the caller sets WINEPREFIX and WINEDEBUG.
find_program(VORL_WINE wine)
if(VORL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VORL_WINE})
endif()
