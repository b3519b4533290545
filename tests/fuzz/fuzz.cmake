# The libFuzzer targets: shared settings and the function that declares one target and its
# timed run. Included by the CMakeLists.txt of every target folder; the settings apply once.
#
# Built only in a clang build that asks for it:
#   cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
#         -DKETRA_SANITIZE=ON -DKETRA_FUZZ=ON -DKETRA_BENCH=OFF
#   cmake --build build-fuzz --target fuzz_targets
#   (cd build-fuzz && ctest -L fuzz)
option(KETRA_FUZZ "Build the libFuzzer targets (clang, with KETRA_SANITIZE)" OFF)
set(KETRA_FUZZ_SECONDS 60 CACHE STRING "How long the test run of each fuzz target lasts")

# Set in the scope of every folder that includes this file.
set(KETRA_FUZZ_ACTIVE OFF)
if(KETRA_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(KETRA_FUZZ_ACTIVE ON)
endif()

# The rest is done once.
include_guard(GLOBAL)
if(KETRA_FUZZ_ACTIVE)
  # Coverage feedback from the library itself, not only from the harness.
  target_compile_options(ketra_objs PRIVATE -fsanitize=fuzzer-no-link)
  # clang finds an unused constexpr helper in the interpreter loop that g++ does not report;
  # it is not the translator's to remove, so that one warning is not an error here.
  target_compile_options(ketra_objs PRIVATE -Wno-error=unused-function)
  add_custom_target(fuzz_targets)
elseif(KETRA_FUZZ)
  message(WARNING "KETRA_FUZZ needs clang; the fuzz targets are left out")
endif()

# ketra_fuzz_target(name source...): the target, and a test (label "fuzz") that runs it for
# KETRA_FUZZ_SECONDS from a copy of the corpus/ folder beside the sources.
function(ketra_fuzz_target name)
  if(NOT KETRA_FUZZ_ACTIVE)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/fuzz)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ketra_static -fsanitize=fuzzer)
  add_dependencies(fuzz_targets ${name})
  add_test(NAME fuzz_${name}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/fuzz/run_fuzzer.sh $<TARGET_FILE:${name}>
                   ${CMAKE_CURRENT_SOURCE_DIR}/corpus ${KETRA_FUZZ_SECONDS}
                   ${CMAKE_CURRENT_BINARY_DIR}/findings)
  math(EXPR limit "${KETRA_FUZZ_SECONDS} + 120")
  set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT ${limit} LABELS fuzz)
endfunction()
