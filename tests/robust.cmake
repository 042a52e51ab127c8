# Robustness: exhausted storage, device faults, concurrent and interrupted
# runs, and hostile input, against the staged programs and libls.

# libls with each allocation failing in turn, in process on a simulated
# cluster (malloc is interposed in this program, except in sanitizer
# builds, where the tests skip).
if(TARGET ls_objects)
  qv_add_e2e_test(robust_alloc_test
    SOURCES robust_alloc_test.cc robust_malloc.cc ls_cluster.cc
    DEPENDS ls_call ot_programs simcluster)
  target_link_libraries(robust_alloc_test ls_objects)
  target_compile_definitions(robust_alloc_test PRIVATE
    LS_CALL="$<TARGET_FILE:ls_call>"
    LS_OT_BIN_DIR="${QV_STAGE_DIR}/${QV_OT_BIN_SUBDIR}")
endif()

# libls given hostile registries, words and sizes, through the ls_call
# driver as a separate process.
if(TARGET ls_call)
  qv_add_e2e_test(robust_ls_hostile_test
    SOURCES robust_ls_hostile_test.cc ls_cluster.cc
    DEPENDS ls_call ot_programs simcluster)
  target_compile_definitions(robust_ls_hostile_test PRIVATE
    LS_CALL="$<TARGET_FILE:ls_call>"
    LS_OT_BIN_DIR="${QV_STAGE_DIR}/${QV_OT_BIN_SUBDIR}")
endif()

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

# qv_cspec on simulated clusters made by simcluster: every fault of the
# hardware, concurrent and interrupted runs, hostile input, and each
# allocation of its directory scan and of a whole run on the demo cluster
# failing in turn (the staged command runs with robust_failmalloc.so
# preloaded).
if(TARGET qv_cspec AND TARGET simcluster)
  add_library(robust_failmalloc MODULE robust_failmalloc.cc)
  set_target_properties(robust_failmalloc PROPERTIES PREFIX "")
  robust_add_cspec_test(robust_cspec_alloc_test
    SOURCES robust_cspec_alloc_test.cc
    DEPENDS qv_cspec simcluster robust_failmalloc)
  target_compile_definitions(robust_cspec_alloc_test PRIVATE
    ROBUST_FAILMALLOC="$<TARGET_FILE:robust_failmalloc>"
    DEMO_FABRIC="${PROJECT_SOURCE_DIR}/examples/demo.fabric")
  robust_add_cspec_test(robust_faults_test
    SOURCES robust_faults_test.cc
    DEPENDS qv_cspec simcluster)
  robust_add_cspec_test(robust_concurrency_test
    SOURCES robust_concurrency_test.cc
    DEPENDS qv_cspec simcluster)
endif()
