# Project-wide compile settings and one function per kind of target.

set(VORL_WARNINGS -Wall -Wextra -Wpedantic)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(APPEND VORL_WARNINGS -Wthread-safety)
endif()
if(VORL_WERROR)
  list(APPEND VORL_WARNINGS -Werror)
endif()

set(VORL_SANITIZER_FLAGS "")
if(VORL_SANITIZE_ADDRESS AND VORL_SANITIZE_THREAD)
  message(FATAL_ERROR "AddressSanitizer and ThreadSanitizer cannot be combined")
endif()
if(VORL_SANITIZE_ADDRESS)
  set(VORL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
elseif(VORL_SANITIZE_THREAD)
  set(VORL_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
endif()
if(VORL_SANITIZER_FLAGS)
  add_compile_options(${VORL_SANITIZER_FLAGS})
  add_link_options(${VORL_SANITIZER_FLAGS})
  # clang links the sanitizer runtime statically into executables only; a
  # plug-in linked with -z defs needs the shared runtime to resolve against.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_link_options(-shared-libsan)
    # ...and the programs must find that runtime without LD_LIBRARY_PATH.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} --print-runtime-dir
                    OUTPUT_VARIABLE vorl_sanitizer_runtime_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(vorl_sanitizer_runtime_dir)
      add_link_options(-Wl,-rpath,${vorl_sanitizer_runtime_dir})
    endif()
  endif()
endif()

# Line and branch counters for tools/coverage.sh. -O0 keeps every source line
# its own counter; the counters' runtime (libgcov) is linked statically, so
# the plug-ins still link nothing else.
if(VORL_COVERAGE)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    message(FATAL_ERROR "VORL_COVERAGE needs g++ (gcov)")
  endif()
  if(VORL_SANITIZER_FLAGS)
    message(FATAL_ERROR "VORL_COVERAGE cannot be combined with a sanitizer")
  endif()
  add_compile_options(--coverage -O0 -fprofile-update=atomic)
  add_link_options(--coverage)
endif()

set(VORL_EXPORT_MAP ${CMAKE_CURRENT_LIST_DIR}/actor_plugin.map)
set(VORL_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_LIST_DIR}/MacosBundleInfo.plist.in)
set(VORL_BUNDLE_PKGINFO ${CMAKE_CURRENT_LIST_DIR}/MacosBundlePkgInfo)

# Static library of our own code, with the project's warnings.
function(add_vorl_library name)
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE ${VORL_WARNINGS})
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# A plug-in file as the host loads it: a MODULE exporting GetActorInfo only.
#   add_actor_plugin(NAME <target> OUTPUT <file name without lib/.so> SOURCES ... LIBS ...)
# The one export is marked in the source (VORL_EXPORT); each platform's
# linker settings below only keep everything else out of the table.
function(add_actor_plugin)
  cmake_parse_arguments(P "" "NAME;OUTPUT" "SOURCES;LIBS" ${ARGN})
  add_library(${P_NAME} MODULE ${P_SOURCES})
  target_compile_options(${P_NAME} PRIVATE ${VORL_WARNINGS})
  target_link_libraries(${P_NAME} PRIVATE ${P_LIBS})
  set_target_properties(${P_NAME} PROPERTIES
    PREFIX "" OUTPUT_NAME ${P_OUTPUT}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plugins)
  if(WIN32)
    # A PE link fails on undefined symbols by itself; __declspec(dllexport)
    # on GetActorInfo makes it the only export. The runtime (libgcc,
    # libstdc++, winpthread) is linked in statically (the toolchain's module
    # linker flags), so the DLL needs nothing beside the system's DLLs.
    target_link_options(${P_NAME} PRIVATE -static)
  elseif(APPLE)
    # A loadable bundle folder: Contents/Info.plist, Contents/PkgInfo and the
    # Mach-O bundle in Contents/MacOS/, exporting the one symbol; anything
    # unresolved fails the link.
    string(REPLACE "_" "-" identifier ${P_OUTPUT})  # no "_" in bundle identifiers
    set_target_properties(${P_NAME} PROPERTIES BUNDLE TRUE BUNDLE_EXTENSION bundle
      MACOSX_BUNDLE_INFO_PLIST ${VORL_BUNDLE_INFO_PLIST}
      MACOSX_BUNDLE_GUI_IDENTIFIER org.vorlane.actors.${identifier}
      MACOSX_BUNDLE_BUNDLE_NAME ${P_OUTPUT}
      MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION}
      MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION})
    target_link_options(${P_NAME} PRIVATE
      "LINKER:-exported_symbol,_GetActorInfo" "LINKER:-undefined,error")
    add_custom_command(TARGET ${P_NAME} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy ${VORL_BUNDLE_PKGINFO} $<TARGET_BUNDLE_CONTENT_DIR:${P_NAME}>/PkgInfo)
  else()
    target_link_options(${P_NAME} PRIVATE -Wl,--version-script=${VORL_EXPORT_MAP})
    # Every symbol resolved when the file is linked, except in the fuzz
    # build: there the coverage and sanitizer runtime lives in the fuzzer
    # that loads the plug-in (linked with -rdynamic, fuzz/CMakeLists.txt),
    # and the plug-in's references to it are left for the loader.
    if(NOT VORL_BUILD_FUZZ)
      target_link_options(${P_NAME} PRIVATE -Wl,-z,defs)
    endif()
    set_target_properties(${P_NAME} PROPERTIES LINK_DEPENDS ${VORL_EXPORT_MAP})
  endif()
  set_property(GLOBAL APPEND PROPERTY VORL_PLUGINS ${P_NAME})
endfunction()

# A GoogleTest executable registered with CTest.
#   add_project_test(NAME <target> SOURCES ... LIBS ... [PLUGINS <plug-in targets>] [LABELS ...]
#                    [NEEDS_DISPLAY])
# Plug-in targets named in PLUGINS are built first; their paths reach the test
# as VORL_PLUGIN_DIR in the environment. NEEDS_DISPLAY: the test draws with
# GL, which Wine offers only with an X display, so the Windows build runs it
# through tools/wine_with_display.sh (Xvfb) and labels it "display"; on Linux
# it changes nothing.
function(add_project_test)
  cmake_parse_arguments(T "NEEDS_DISPLAY" "NAME;TIMEOUT" "SOURCES;LIBS;PLUGINS;LABELS;LAUNCHER" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  if(T_NEEDS_DISPLAY AND WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR)
    set_target_properties(${T_NAME} PROPERTIES
      CROSSCOMPILING_EMULATOR "bash;${PROJECT_SOURCE_DIR}/tools/wine_with_display.sh")
    list(APPEND T_LABELS display)
  endif()
  target_compile_options(${T_NAME} PRIVATE ${VORL_WARNINGS})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE VORL_PLUGIN_SUFFIX="${CMAKE_SHARED_MODULE_SUFFIX}")
  if(T_PLUGINS)
    add_dependencies(${T_NAME} ${T_PLUGINS})
  endif()
  # LAUNCHER: a program the test runs under (xvfb-run for a display). A bare
  # target name keeps the cross-compiling emulator (Wine) in play.
  if(T_LAUNCHER)
    add_test(NAME ${T_NAME} COMMAND ${T_LAUNCHER} $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # No test opens a window on the desktop of whoever runs them; the window
  # tests bring their own display (LAUNCHER xvfb-run).
  set(environment "VORL_PLUGIN_DIR=${CMAKE_BINARY_DIR}/plugins;VORL_SOURCE_DIR=${PROJECT_SOURCE_DIR};DISPLAY=;WAYLAND_DISPLAY=")
  if(VORL_SANITIZE_THREAD)
    # Also reaches the programs a test starts (actorhost rendering frames).
    list(APPEND environment
      "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
