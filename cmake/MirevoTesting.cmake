# Test helpers; without BUILD_TESTING they add nothing. Every test gets a label and a timeout:
#   unit        display-free logic (also run under the sanitizers)
#   e2e         the programs or real X/GL/audio under a private Xvfb started by the test itself
#   fuzz-replay the committed fuzz corpus fed through a fuzz target's entry point
include(GoogleTest)

set_property(GLOBAL PROPERTY MIREVO_UNIT_TARGETS "")
set_property(GLOBAL PROPERTY MIREVO_FUZZ_TARGETS "")

# What every test program is compiled with. Position-independent code as Qt asks of its users and the thread
# macro SDL's flags bring, for all of them alike, so that the one precompiled header below suits them all.
function(mirevo_test_definitions target)
  target_compile_definitions(${target} PRIVATE
    MIREVO_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
    MIREVO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    _REENTRANT)
  target_compile_options(${target} PRIVATE -fPIC)
endfunction()

# One precompiled GoogleTest header that every test program reuses: an executable of its own, built with the
# tests' own flags.
function(mirevo_test_header_once)
  if(TARGET mirevo_test_header)
    return()
  endif()
  set(main ${CMAKE_BINARY_DIR}/mirevo_test_header.cpp)
  if(NOT EXISTS ${main})
    file(WRITE ${main} "int main() { return 0; }\n")
  endif()
  add_executable(mirevo_test_header EXCLUDE_FROM_ALL ${main})
  target_link_libraries(mirevo_test_header PRIVATE GTest::gtest GTest::gmock)
  mirevo_test_definitions(mirevo_test_header)
  target_precompile_headers(mirevo_test_header PRIVATE <gtest/gtest.h> <string> <vector>)
endfunction()

# mirevo_add_test(NAME name LABEL unit|e2e SOURCES ... LIBS ... [TIMEOUT s] [DEPENDS targets...])
function(mirevo_add_test)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  mirevo_test_definitions(${T_NAME})
  # GoogleTest's header costs more to read than most test files; read once for all of them.
  mirevo_test_header_once()
  target_precompile_headers(${T_NAME} REUSE_FROM mirevo_test_header)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  # End-to-end tests run side by side with the rest: each starts its own servers on displays and runtime folders
  # of its own, and waits for what it checks with deadlines meant for a busy machine.
  if(T_LABEL STREQUAL "unit")
    set_property(GLOBAL APPEND PROPERTY MIREVO_UNIT_TARGETS ${T_NAME})
  endif()
endfunction()

# mirevo_add_fuzz_target(NAME name SOURCE file.cpp LIBS ...)
# The target's LLVMFuzzerTestOneInput is built twice: as a libFuzzer binary when MIREVO_FUZZ is on, and
# always as a replay test that feeds it every file of tests/fuzz/corpus/<name>/.
function(mirevo_add_fuzz_target)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(F "" "NAME;SOURCE" "LIBS" ${ARGN})
  set(corpus ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${F_NAME})
  if(MIREVO_FUZZ)
    add_executable(${F_NAME}_fuzzer ${F_SOURCE})
    target_link_libraries(${F_NAME}_fuzzer PRIVATE ${F_LIBS})
    target_link_options(${F_NAME}_fuzzer PRIVATE -fsanitize=fuzzer)
    set_target_properties(${F_NAME}_fuzzer PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    set_property(GLOBAL APPEND PROPERTY MIREVO_FUZZ_TARGETS ${F_NAME}_fuzzer)
  else()
    # The corpus reader's main(), compiled once for all of them.
    if(NOT TARGET mirevo_fuzz_replay_main)
      add_library(mirevo_fuzz_replay_main STATIC EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    endif()
    add_executable(${F_NAME}_replay ${F_SOURCE})
    target_link_libraries(${F_NAME}_replay PRIVATE ${F_LIBS} mirevo_fuzz_replay_main)
    set_target_properties(${F_NAME}_replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${F_NAME}_replay COMMAND ${F_NAME}_replay ${corpus})
    set_tests_properties(${F_NAME}_replay PROPERTIES LABELS fuzz-replay TIMEOUT 120)
    set_property(GLOBAL APPEND PROPERTY MIREVO_UNIT_TARGETS ${F_NAME}_replay)
  endif()
endfunction()

function(mirevo_finish_test_targets)
  get_property(units GLOBAL PROPERTY MIREVO_UNIT_TARGETS)
  add_custom_target(unit_tests)
  if(units)
    add_dependencies(unit_tests ${units})
  endif()
  get_property(fuzzers GLOBAL PROPERTY MIREVO_FUZZ_TARGETS)
  add_custom_target(fuzzers)
  if(fuzzers)
    add_dependencies(fuzzers ${fuzzers})
  endif()
endfunction()

# Adds every immediate sub-folder of the current folder that has a CMakeLists.txt.
macro(mirevo_add_subfolders)
  file(GLOB _mirevo_children LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _mirevo_children)
  foreach(_child ${_mirevo_children})
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
