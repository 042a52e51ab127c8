# The object-tool commands, OTinit and RSClient run as separate processes
# on two machines of a simulated cluster (simcluster).
qv_add_e2e_test(ot_e2e_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ot_e2e_test.cc
  DEPENDS ot_programs simcluster)
