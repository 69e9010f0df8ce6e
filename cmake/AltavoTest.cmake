# One line per test: altavo_add_test(NAME LABEL SOURCES... LIBS ...)
# Every test runs on Qt's offscreen platform with its own settings and data
# folders (the instrument history's default file lives in the latter), so
# no test touches the user's preferences or needs a display.
function(altavo_add_test name label)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
  # Test programs end as the programs do (TestMain.h).
  target_compile_options(${name} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/common/TestMain.h)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Sanitized programs run several times slower, the simulators they start
  # included: the test's time limit and its waits (EventWait.h) stretch. The
  # leak check ignores only leaks inside the system libraries. A report ends
  # the program with a failure status (UBSan does not recover), so one from
  # a program a test started (altavo-cli, a simulator) fails the test as well
  # wherever the test checks how that program ended.
  set(sanitizer_env "")
  if(ALTAVO_SANITIZE)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 4")
    set(sanitizer_env ";ALTAVO_WAIT_SCALE=4;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp:print_suppressions=0")
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS ${label}
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-config/${name};XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-data/${name};ALTAVO_SIM=$<TARGET_FILE:altavo-sim>;ALTAVO_CLI=$<TARGET_FILE:altavo-cli>;ALTAVO_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data${sanitizer_env}")
endfunction()
