# Native build of the Windows-free sources: clang with AddressSanitizer and UBSan.
find_package(GTest REQUIRED)
set(CORV_SAN -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${CORV_SAN} -Wall -Wextra)
add_link_options(${CORV_SAN})
set(CORV_FUZZ_SECONDS 15 CACHE STRING "Seconds each fuzz target runs in the test suite")

include(core_sources)
corv_core_library(tern_core TERN_CORE_SOURCES TERN_CORE_INCLUDES)
corv_core_library(wick_core WICK_CORE_SOURCES WICK_CORE_INCLUDES)
corv_core_library(corvane_core CORVANE_CORE_SOURCES CORVANE_CORE_INCLUDES)
target_link_libraries(corvane_core PUBLIC tern_core)
# Coverage instrumentation in the core libraries, so the fuzzers see the code under test.
foreach(_lib tern_core wick_core corvane_core)
  get_target_property(_type ${_lib} TYPE)
  if(NOT _type STREQUAL "INTERFACE_LIBRARY")
    target_compile_options(${_lib} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endforeach()

# corv_add_fuzzer(<name> <source> <core libs...>): a libFuzzer target, run for a bounded time.
function(corv_add_fuzzer name src)
  add_executable(${name} ${src})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARGN})
  add_test(NAME fuzz.${name} COMMAND ${name} -max_total_time=${CORV_FUZZ_SECONDS} -rss_limit_mb=2048
           -malloc_limit_mb=256 -print_final_stats=0)
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 300)
endfunction()
