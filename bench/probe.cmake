# The full probe of qv_cspec on a fabric where all 8x8x4 adapter ports of a
# machine are present with 16 targets each, next to the floor of 4096 bare
# unlink + mknod + stat; prints both and their ratio (target: within 2x).
set(probe_bench_depends simcluster)
if(TARGET qv_cspec)
  list(APPEND probe_bench_depends qv_cspec)
endif()
qv_add_benchmark(probe_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/probe_bench.cc
                 LIBS scsi_io DEPENDS ${probe_bench_depends})
target_compile_definitions(probe_bench PRIVATE
  QV_BIN_SUBDIR="${CMAKE_INSTALL_BINDIR}")
