# Small helpers shared by every folder of the build.

# Adds a folder that has a CMakeLists.txt; a folder still without one is skipped,
# so the tree builds while parts of it are being written.
macro(tellar_add_subdirectory_if_present dir)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt")
    add_subdirectory(${dir})
  endif()
endmacro()

# tellar_add_test(NAME
#                 SOURCES file...
#                 [LIBRARIES target...]
#                 [ENVIRONMENT VAR=value...]
#                 [LABELS label...]
#                 [TIMEOUT seconds])
#
# One GoogleTest executable and one CTest entry. Each test gets its own
# scratch folder through TELLAR_TEST_TMPDIR, which the tests may use as the
# parent of their temporary folders; nothing is shared between tests. The
# cashier's language does not come from the machine: each test has its own
# configuration folder (no remembered choice) and LANGUAGE=et, unless its
# ENVIRONMENT says otherwise.
function(tellar_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBRARIES;ENVIRONMENT;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TELLAR_TEST_TMPDIR=${CMAKE_BINARY_DIR}/test-tmp;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-tmp/${name}-config;LANGUAGE=et;${T_ENVIRONMENT}"
    LABELS "${T_LABELS}")
endfunction()
