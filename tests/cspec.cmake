# End-to-end tests of qv_cspec: the staged command on machine roots made by
# hand and on simulated clusters made by simcluster.
if(TARGET qv_cspec)
  qv_add_e2e_test(cspec_driver_test
    SOURCES cspec_driver_test.cc
    DEPENDS qv_cspec)
endif()
if(TARGET qv_cspec)
  qv_add_e2e_test(cspec_cluster_test
    SOURCES cspec_cluster_test.cc
    DEPENDS qv_cspec)
endif()
