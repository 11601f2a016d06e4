# Link rules of the macOS cross build (cmake/zig-macos.cmake), read after
# CMake's own Darwin rules: every bundle and program is linked by ld64.lld
# against the libSystem stub, with the C++ runtime zig built for the
# architecture linked in, so the files import libSystem only. Options given as
# LINKER:... reach ld64.lld as they are.
set(vorl_ld64 /usr/bin/ld64.lld-14)
set(vorl_runtime "${VORL_MACOS_TOOLCHAIN}/runtime/${VORL_MACOS_ARCH}")
# macOS 11 as minimum and as the SDK version; unused code is dropped; every
# slice carries an ad-hoc signature (Apple Silicon runs no unsigned code, and
# an x86-64 slice signed the same way is checked the same way).
set(vorl_ld64_common
  "-arch ${VORL_MACOS_ARCH} -platform_version macos 11.0 11.0 -syslibroot ${VORL_MACOS_TOOLCHAIN}/sdk -dead_strip -adhoc_codesign")
set(vorl_ld64_runtime
  "${vorl_runtime}/libc++.a ${vorl_runtime}/libc++abi.a ${vorl_runtime}/libcompiler_rt.a -lSystem")

set(CMAKE_CXX_LINKER_WRAPPER_FLAG "")
set(CMAKE_C_LINKER_WRAPPER_FLAG "")
set(CMAKE_CXX_CREATE_SHARED_MODULE
  "${vorl_ld64} ${vorl_ld64_common} -bundle <LINK_FLAGS> -o <TARGET> <OBJECTS> <LINK_LIBRARIES> ${vorl_ld64_runtime}")
set(CMAKE_CXX_LINK_EXECUTABLE
  "${vorl_ld64} ${vorl_ld64_common} -execute <LINK_FLAGS> -o <TARGET> <OBJECTS> <LINK_LIBRARIES> ${vorl_ld64_runtime}")
