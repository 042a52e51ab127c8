# Robustness: exhausted storage, device faults, concurrent and interrupted
# runs, and hostile input, against the staged programs and libls.

# An end-to-end test of qv_cspec that runs alone.  Under fakeroot (make
# check as non-root) one daemon fakes the nodes of every test, and nodes
# that processes of tests running side by side make and remove at once
# sometimes get each other's type and number: a probe node then looks like
# no device, and a disk or a stamp goes missing.
function(robust_add_cspec_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} ${ARG_LIBS} e2e_util GTest::gtest_main)
  add_dependencies(${name} ${ARG_DEPENDS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
                       PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endfunction()

# qv_cspec on simulated clusters made by simcluster: concurrent and
# interrupted runs.  (Its faults and hostile input: cspec_e2e_test's
# RobustFaults suite, registered alike in cspec.cmake.)
if(TARGET qv_cspec AND TARGET simcluster)
  robust_add_cspec_test(robust_concurrency_test
    SOURCES robust_concurrency_test.cc
    DEPENDS qv_cspec simcluster)
endif()

# Exhausted storage: libls through ls_call and a whole qv_cspec run on the
# demo cluster, with each allocation failing in turn (the one allocator,
# robust_failmalloc.so, preloaded; the tests skip in sanitizer builds).
# qv_cspec's sweep runs alone, as the tests above.
if(TARGET ls_call AND TARGET qv_cspec AND TARGET simcluster)
  add_library(robust_failmalloc MODULE robust_failmalloc.cc)
  set_target_properties(robust_failmalloc PROPERTIES PREFIX "")
  add_executable(robust_alloc_test
    robust_alloc_test.cc robust_failmalloc.cc)
  target_link_libraries(robust_alloc_test e2e_util GTest::gtest_main)
  add_dependencies(robust_alloc_test
    ls_call ot_programs simcluster qv_cspec robust_failmalloc)
  target_compile_definitions(robust_alloc_test PRIVATE
    ROBUST_FAILMALLOC="$<TARGET_FILE:robust_failmalloc>"
    DEMO_FABRIC="${PROJECT_SOURCE_DIR}/examples/demo.fabric"
    LS_CALL="$<TARGET_FILE:ls_call>"
    LS_OT_BIN_DIR="${QV_STAGE_DIR}/${QV_OT_BIN_SUBDIR}")
  gtest_discover_tests(robust_alloc_test DISCOVERY_TIMEOUT 30
                       TEST_FILTER "-RobustCspec*" PROPERTIES TIMEOUT 300)
  gtest_discover_tests(robust_alloc_test DISCOVERY_TIMEOUT 30
                       TEST_FILTER "RobustCspec*"
                       PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
