# The host-call sequence library, shared by the fuzz targets and the test
# that replays their inputs in the normal build. FuzzedDataProvider.h comes
# with clang's fuzzer headers; g++ finds it through the folder found here.
if(NOT TARGET vorl_host_call_sequence)
  file(GLOB vorl_fuzzer_header_dirs /usr/lib/llvm-*/lib/clang/*/include/fuzzer)
  find_path(VORL_FUZZED_DATA_PROVIDER_DIR FuzzedDataProvider.h HINTS ${vorl_fuzzer_header_dirs})
  if(NOT VORL_FUZZED_DATA_PROVIDER_DIR)
    message(FATAL_ERROR "FuzzedDataProvider.h not found (it comes with clang; tools/install_deps.sh installs it)")
  endif()
  add_vorl_library(vorl_host_call_sequence ${CMAKE_CURRENT_LIST_DIR}/host_call_sequence.cpp)
  target_include_directories(vorl_host_call_sequence SYSTEM PUBLIC ${VORL_FUZZED_DATA_PROVIDER_DIR})
  target_link_libraries(vorl_host_call_sequence PUBLIC vorl_validate)
endif()
