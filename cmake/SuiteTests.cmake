# One ctest test per test suite (and per database back end of a parameterised
# suite) instead of one per test: each test process starts the whole binary, its
# Qt and, under the sanitizers, their instrumentation (a third of a second), so a
# process per test spent two minutes of a run on starting. The tests of a group run
# in one process, in order, as they do when the binary is run by hand.
#
# The groups are listed when ctest starts (not when the binary is built), so the
# back ends follow QC_TEST_PG as ctest sees it.
#
# In CMakeLists.txt:   qc_suite_tests(<target> ENVIRONMENT <VAR=value;...>)
# At ctest time this file is included with QC_SUITE_EXE, QC_SUITE_ENV set.

if(DEFINED QC_SUITE_EXE)
  # ctest time: list the tests and add one ctest test per group.
  execute_process(COMMAND "${QC_SUITE_EXE}" --gtest_list_tests
    OUTPUT_VARIABLE listing RESULT_VARIABLE listed ERROR_VARIABLE listingErrors)
  get_filename_component(binary "${QC_SUITE_EXE}" NAME)
  if(NOT listed EQUAL 0)
    # A binary that cannot list its tests fails as a test of its own.
    add_test("${binary}.list" "${QC_SUITE_EXE}" --gtest_list_tests)
    return()
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(groups)
  set(suite)
  foreach(line IN LISTS lines)
    if(line MATCHES "^([^ #][^ ]*)\\.")
      set(suite "${CMAKE_MATCH_1}")
    elseif(suite AND line MATCHES "^  ([^ ]+)")
      set(test "${CMAKE_MATCH_1}")
      # A parameterised suite ("Db/Suite") splits by its parameter, the part of the
      # test's name after its last slash.
      if(suite MATCHES "/" AND test MATCHES "/([^/]+)$")
        set(group "${suite}.*/${CMAKE_MATCH_1}")
      else()
        set(group "${suite}.*")
      endif()
      list(FIND groups "${group}" known)
      if(known EQUAL -1)
        list(APPEND groups "${group}")
      endif()
    endif()
  endforeach()
  foreach(group IN LISTS groups)
    string(REPLACE ".*" "" name "${group}")
    add_test("${name}" "${QC_SUITE_EXE}" "--gtest_filter=${group}")
    set_tests_properties("${name}" PROPERTIES ENVIRONMENT "${QC_SUITE_ENV}")
  endforeach()
  return()
endif()

function(qc_suite_tests target)
  cmake_parse_arguments(S "" "" "ENVIRONMENT" ${ARGN})
  set(include "${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake")
  file(GENERATE OUTPUT "${include}" CONTENT
"set(QC_SUITE_EXE [==[$<TARGET_FILE:${target}>]==])
set(QC_SUITE_ENV [==[${S_ENVIRONMENT}]==])
include([==[${CMAKE_CURRENT_FUNCTION_LIST_FILE}]==])
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include}")
endfunction()
