# Libraries of the Windows cross build, taken from the build machine's Debian
# packages: {fmt}, CLI11 and nlohmann-json header-only, GoogleTest built from its sources.
# Only the needed folders are linked into one include directory, so the
# cross compiler never sees the build machine's other headers.
set(vorl_cross_include ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${vorl_cross_include})
foreach(folder fmt CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run tools/install_deps.sh")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${vorl_cross_include}/${folder} SYMBOLIC)
endforeach()

add_library(fmt::fmt INTERFACE IMPORTED GLOBAL)
target_include_directories(fmt::fmt SYSTEM INTERFACE ${vorl_cross_include})
target_compile_definitions(fmt::fmt INTERFACE FMT_HEADER_ONLY)
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${vorl_cross_include})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${vorl_cross_include})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
