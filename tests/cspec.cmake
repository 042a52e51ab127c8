# End-to-end tests of qv_cspec: the staged command on simulated clusters
# made by simcluster.
if(TARGET qv_cspec)
  qv_add_e2e_test(cspec_e2e_test
    SOURCES cspec_e2e_test.cc
    DEPENDS qv_cspec simcluster)
endif()
