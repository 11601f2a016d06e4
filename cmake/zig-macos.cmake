# Cross build for macOS 11 or later on this Linux machine: zig's clang and the
# macOS headers it carries compile, Debian's ld64.lld links against the
# libSystem stub, one build tree per architecture. tools/build_macos.sh makes
# the toolchain folder, configures both trees and joins their slices into
# universal files.
#   cmake -S . -B build-macos/arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/zig-macos.cmake \
#         -DVORL_MACOS_ARCH=arm64 -DVORL_MACOS_TOOLCHAIN=~/.cache/vorl-macos-toolchain
#
# The toolchain folder holds zig-0.11.0/ (the unpacked compiler), sdk/usr/lib/
# libSystem.tbd, and runtime/<arch>/ with the C++ runtime zig built for that
# architecture (libc++.a, libc++abi.a, libcompiler_rt.a) and zig's cache.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20.0)  # Darwin 20 is macOS 11

set(VORL_MACOS_ARCH "" CACHE STRING "x86_64 or arm64")
set(VORL_MACOS_TOOLCHAIN "" CACHE PATH "The folder tools/build_macos.sh prepares")
# try_compile projects read the toolchain file again and see these.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORL_MACOS_ARCH VORL_MACOS_TOOLCHAIN)

if(VORL_MACOS_ARCH STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
  set(vorl_zig_target x86_64-macos.11.0)
elseif(VORL_MACOS_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
  set(vorl_zig_target aarch64-macos.11.0)  # ".0": zig has no headers below macOS 11
else()
  message(FATAL_ERROR "VORL_MACOS_ARCH must be x86_64 or arm64, not '${VORL_MACOS_ARCH}'")
endif()
foreach(needed zig-0.11.0/zig sdk/usr/lib/libSystem.tbd runtime/${VORL_MACOS_ARCH}/libc++.a)
  if(NOT EXISTS "${VORL_MACOS_TOOLCHAIN}/${needed}")
    message(FATAL_ERROR "${VORL_MACOS_TOOLCHAIN}/${needed} is missing: run tools/build_macos.sh")
  endif()
endforeach()

# CMake takes a compiler as one program: small launchers put the target in.
# zig keeps its cache in the toolchain folder, one per architecture, where
# tools/build_macos.sh had it build the C++ runtime: CMake's first test
# program, which zig links, finds the runtime there instead of building it
# again.
set(vorl_launchers "${CMAKE_BINARY_DIR}/zig-launchers")
set(vorl_zig_cache "${VORL_MACOS_TOOLCHAIN}/runtime/${VORL_MACOS_ARCH}/zig-cache")
foreach(lang cc c++)
  # Written only when it changes, so that a compiler cache keeps its hits.
  string(CONCAT vorl_launcher
    "#!/bin/sh\n"
    "ZIG_GLOBAL_CACHE_DIR='${vorl_zig_cache}' ZIG_LOCAL_CACHE_DIR='${vorl_zig_cache}' \\\n"
    "  exec '${VORL_MACOS_TOOLCHAIN}/zig-0.11.0/zig' ${lang} -target ${vorl_zig_target} \"$@\"\n")
  file(CONFIGURE OUTPUT "${vorl_launchers}/zig-${lang}" CONTENT "${vorl_launcher}" @ONLY)
  file(CHMOD "${vorl_launchers}/zig-${lang}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER "${vorl_launchers}/zig-cc")
set(CMAKE_CXX_COMPILER "${vorl_launchers}/zig-c++")
set(CMAKE_AR /usr/lib/llvm-14/bin/llvm-ar)
set(CMAKE_RANLIB /usr/lib/llvm-14/bin/llvm-ranlib)
set(CMAKE_INSTALL_NAME_TOOL /usr/lib/llvm-14/bin/llvm-install-name-tool)

# No SDK, no Xcode: CMake must not look for either.
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)
set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)

# Checks compile only: a test link would need the rules below before CMake
# has read them.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH "${VORL_MACOS_TOOLCHAIN}/sdk")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Links go straight to ld64.lld (zig's own linker cannot make a bundle).
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_DIR}/zig-macos-link.cmake")
