# SPDX-License-Identifier: GPL-3.0-or-later
# The results-file reader under libFuzzer. The project compiles with g++, so
# the fuzzer is built by calling clang++ directly; without clang++ or its
# fuzzer runtime the target and its tests are left out.
find_program(AMPERO_CLANGXX NAMES clang++ clang++-14)
set(AMPERO_FUZZ_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
set(AMPERO_FUZZ_OK FALSE)
if(AMPERO_CLANGXX AND EXISTS "${AMPERO_CLANGXX}")
  execute_process(COMMAND ${AMPERO_CLANGXX} -print-file-name=libclang_rt.fuzzer-x86_64.a
                  OUTPUT_VARIABLE _fuzz_rt OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(EXISTS "${_fuzz_rt}")
    set(AMPERO_FUZZ_OK TRUE)
  else()
    # Debian keeps the runtime under the resource directory; ask for it that way too.
    execute_process(COMMAND ${AMPERO_CLANGXX} -print-resource-dir
                    OUTPUT_VARIABLE _res OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_res)
      file(GLOB _fuzz_rt2 "${_res}/lib/*/libclang_rt.fuzzer*.a")
    endif()
    if(_fuzz_rt2)
      set(AMPERO_FUZZ_OK TRUE)
    endif()
  endif()
endif()

if(NOT AMPERO_FUZZ_OK)
  message(STATUS "clang++ with libFuzzer not found: the results-file fuzzer is not built")
  return()
endif()

# The readers, the evaluation and the JSON report, built from their sources
# with QtCore (the library itself is not instrumented). One fuzzer for the
# results file, one for its companion.
set(_fuzz_common
  ${CMAKE_SOURCE_DIR}/results/resultsformat.cpp ${CMAKE_SOURCE_DIR}/results/evaluation.cpp
  ${CMAKE_SOURCE_DIR}/core/timetext.cpp ${CMAKE_SOURCE_DIR}/results/companionfile.cpp
  ${CMAKE_SOURCE_DIR}/results/energysummary.cpp ${CMAKE_SOURCE_DIR}/session/sessionports.cpp
  ${CMAKE_SOURCE_DIR}/app/cli_report.cpp)
set(_qt_includes)
foreach(dir ${Qt6Core_INCLUDE_DIRS})
  list(APPEND _qt_includes -I${dir})
endforeach()

function(ampero_fuzzer name seeds)
  set(_sources ${AMPERO_FUZZ_DIR}/${name}.cpp ${_fuzz_common})
  set(_fuzzer ${CMAKE_CURRENT_BINARY_DIR}/${name})
  add_custom_command(
    OUTPUT ${_fuzzer}
    COMMAND ${AMPERO_CLANGXX} -std=c++20 -O1 -g -fno-omit-frame-pointer -fPIC
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -DQT_NO_CAST_FROM_BYTEARRAY -DQT_USE_QSTRINGBUILDER
            -I${CMAKE_SOURCE_DIR} -I${CMAKE_BINARY_DIR}/generated ${_qt_includes}
            ${_sources} $<TARGET_LINKER_FILE:Qt6::Core>
            -o ${_fuzzer}
    DEPENDS ${_sources} ${CMAKE_SOURCE_DIR}/results/resultsformat.h ${CMAKE_SOURCE_DIR}/results/evaluation.h
            ${CMAKE_SOURCE_DIR}/results/companionfile.h
    COMMENT "Building ${name} with clang++"
    COMMAND_EXPAND_LISTS
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${_fuzzer})

  # Every seed and every input that once failed, run once each.
  add_test(NAME ${name}_corpus COMMAND ${_fuzzer} -runs=0 ${seeds} ${AMPERO_FUZZ_DIR}/regressions)
  # A bounded fuzzing run. New inputs go to a corpus in the build tree, crashes
  # to fuzz-artifacts/ there; copy a crashing input into tests/fuzz/regressions.
  set(_work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${_work} ${CMAKE_CURRENT_BINARY_DIR}/fuzz-artifacts)
  add_test(NAME ${name}_run
           COMMAND ${_fuzzer} -max_total_time=20 -max_len=4096 -rss_limit_mb=1024
                   -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/fuzz-artifacts/
                   ${_work} ${seeds} ${AMPERO_FUZZ_DIR}/regressions)
  set_tests_properties(${name}_corpus ${name}_run PROPERTIES TIMEOUT 120)
endfunction()

ampero_fuzzer(resultsformat_fuzz ${AMPERO_FUZZ_DIR}/seed)
ampero_fuzzer(companion_fuzz ${AMPERO_FUZZ_DIR}/companion_seed)
