# The readers of outside files, in one target that the first byte steers:
# qv_cspec's exclusion list and mdevice table, and a cluster's fabric file
# and fabric.state.
qv_add_fuzzer(parsers SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/parsers_fuzz.cc
              LIBS cspec_core scsi_io)
