# End-to-end tests of simcluster: the staged program builds and shows
# clusters in a temporary directory.
qv_add_e2e_test(simcluster_test
  SOURCES simcluster_test.cc
  DEPENDS simcluster)
target_compile_definitions(simcluster_test PRIVATE
  QV_BIN_SUBDIR="${CMAKE_INSTALL_BINDIR}")
