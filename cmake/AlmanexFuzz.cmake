# Compiler settings of the fuzz build (ALMANEX_FUZZ): clang only. Every library is instrumented for
# libFuzzer's coverage and built under AddressSanitizer and UndefinedBehaviorSanitizer; undefined
# behaviour aborts like a memory error does, so that any finding fails the run.
include_guard(GLOBAL)

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ALMANEX_FUZZ needs clang (configure with CC=clang-14 CXX=clang++-14), not ${CMAKE_CXX_COMPILER_ID}")
endif()

set(ALMANEX_SANITIZERS "-fsanitize=address,undefined" "-fno-sanitize-recover=all")
add_compile_options(-fsanitize=fuzzer-no-link ${ALMANEX_SANITIZERS} -fno-omit-frame-pointer -g)
add_link_options(${ALMANEX_SANITIZERS})

# almanex_add_fuzz_target(NAME name SOURCES ... LIBRARIES ... CORPUS folder)
# One libFuzzer executable; with ALMANEX_FUZZ it is also a CTest case that runs once over every file of
# its seed corpus (a few seconds), never a timed fuzzing run: make fuzz does those.
function(almanex_add_fuzz_target)
  cmake_parse_arguments(ARG "" "NAME;CORPUS" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES})
  target_link_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer)
  add_test(NAME ${ARG_NAME}_seeds COMMAND ${ARG_NAME} -runs=0 ${ARG_CORPUS})
  set_tests_properties(${ARG_NAME}_seeds PROPERTIES ENVIRONMENT "TZ=UTC;LANG=C.UTF-8;LC_ALL=C.UTF-8" TIMEOUT 120)
endfunction()
