# End-to-end tests of qv_cspec: the staged command on simulated clusters
# made by simcluster.  The RobustFaults suite (every fault of the simulated
# hardware, hostile input) runs alone, as robust.cmake explains.
if(TARGET qv_cspec AND TARGET simcluster)
  add_executable(cspec_e2e_test cspec_e2e_test.cc)
  target_link_libraries(cspec_e2e_test e2e_util GTest::gtest_main)
  add_dependencies(cspec_e2e_test qv_cspec simcluster)
  gtest_discover_tests(cspec_e2e_test DISCOVERY_TIMEOUT 30
                       TEST_FILTER "-RobustFaults*" PROPERTIES TIMEOUT 300)
  gtest_discover_tests(cspec_e2e_test DISCOVERY_TIMEOUT 30
                       TEST_FILTER "RobustFaults*"
                       PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
