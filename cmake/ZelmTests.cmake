# zelm_add_test(NAME SOURCES src... LIBS lib... [TIMEOUT s] [NO_DESKTOP]
#               [LDAP filter])
# One test executable per module. Windows tests run under Wine through the
# cross-compiling emulator; each discovered case becomes one CTest test.
#
# LDAP: the cases the gtest filter picks are registered a second time, with
# the suffix ".ldap", to run against a slapd instead of a database file (the
# suite's directory fixture seeds whichever it is given,
# tests/support/test_directory.h). One slapd serves the whole CTest run
# (fixture zelm_slapd, scripts/ldaptest.sh); the variants take turns on it
# (a lock of its own, so those of window-less suites run beside the desktop's
# turns).
#
# All Wine processes of a run share one desktop: activation and focus pass
# between their windows, and a box or dialog closing in one test hands the
# active window to another's. Windows tests therefore take turns on the
# desktop (a CTest resource lock); NO_DESKTOP marks suites that show no window
# at all, which run alongside.
set(ZELM_DESKTOP_LOCK wine-desktop)
set(ZELM_SLAPD_LOCK zelm-slapd)
set(ZELM_SLAPD_DIR ${CMAKE_BINARY_DIR}/ldaptest)

function(zelm_slapd_fixture)
  get_property(done GLOBAL PROPERTY ZELM_SLAPD_FIXTURE)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY ZELM_SLAPD_FIXTURE ON)
  add_test(NAME zelm_slapd_start
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/ldaptest.sh start ${ZELM_SLAPD_DIR} ${ZELM_NATIVE_BIN})
  add_test(NAME zelm_slapd_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/ldaptest.sh stop ${ZELM_SLAPD_DIR})
  set_tests_properties(zelm_slapd_start PROPERTIES FIXTURES_SETUP zelm_slapd TIMEOUT 60)
  set_tests_properties(zelm_slapd_stop PROPERTIES FIXTURES_CLEANUP zelm_slapd TIMEOUT 60)
endfunction()

function(zelm_add_test name)
  cmake_parse_arguments(T "NO_DESKTOP" "TIMEOUT;LDAP" "SOURCES;LIBS" ${ARGN})
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
  if(WIN32 AND T_LDAP)
    zelm_slapd_fixture()
    gtest_discover_tests(${name}
      TEST_SUFFIX .ldap TEST_FILTER "${T_LDAP}" TEST_LIST ${name}_ldap
      DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
      PROPERTIES TIMEOUT ${T_TIMEOUT} RESOURCE_LOCK ${ZELM_SLAPD_LOCK}
                 FIXTURES_REQUIRED zelm_slapd ENVIRONMENT "ZELM_TEST_SLAPD=${ZELM_SLAPD_DIR}")
    if(NOT T_NO_DESKTOP)
      # Two locks: a list the discovery's properties cannot carry, so set
      # once the discovered tests are known (read after the discovery's own).
      set(locks_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_ldap_locks.cmake)
      file(WRITE ${locks_file}
        "foreach(t IN LISTS ${name}_ldap)\n"
        "  set_tests_properties(\"\${t}\" PROPERTIES RESOURCE_LOCK "
        "\"${ZELM_SLAPD_LOCK};${ZELM_DESKTOP_LOCK}\")\n"
        "endforeach()\n")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${locks_file})
    endif()
  endif()
endfunction()
