# The readers of a cluster's shared files: the fabric file and fabric.state.
# Their sources are compiled into the target so that the fuzzer sees their
# branches.
set(scsi_dir ${PROJECT_SOURCE_DIR}/platform/scsi)
qv_add_fuzzer(fabric
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fabric_fuzz.cc
          ${scsi_dir}/address.cc ${scsi_dir}/errno_names.cc
          ${scsi_dir}/fabric.cc ${scsi_dir}/fabric_parser.cc
          ${scsi_dir}/inquiry_data.cc ${scsi_dir}/state.cc
          ${scsi_dir}/unique_fd.cc ${scsi_dir}/words.cc)
