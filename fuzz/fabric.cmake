# The readers of a cluster's shared files: the fabric file and fabric.state.
qv_add_fuzzer(fabric SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fabric_fuzz.cc
              LIBS scsi_io)
