# zelm_add_test(NAME SOURCES src... LIBS lib... [TIMEOUT s] [NO_DESKTOP])
# One test executable per module. Windows tests run under Wine through the
# cross-compiling emulator; each discovered case becomes one CTest test.
#
# All Wine processes of a run share one desktop: activation and focus pass
# between their windows, and a box or dialog closing in one test hands the
# active window to another's. Windows tests therefore take turns on the
# desktop (a CTest resource lock); NO_DESKTOP marks suites that show no window
# at all, which run alongside.
set(ZELM_DESKTOP_LOCK wine-desktop)
function(zelm_add_test name)
  cmake_parse_arguments(T "NO_DESKTOP" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(WIN32)
    # Keep a console so gtest output reaches CTest.
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  set(properties TIMEOUT ${T_TIMEOUT})
  if(WIN32 AND NOT T_NO_DESKTOP)
    list(APPEND properties RESOURCE_LOCK ${ZELM_DESKTOP_LOCK})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
endfunction()
