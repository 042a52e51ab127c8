# libls between two hosts over OpenSSH (bench/hosts_bench.sh): needs root
# and openssh-server, and the test driver ls_call, so it exists only when
# the tests are built.
if(TARGET ls_call)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/bench/hosts_bench
    CONTENT "#!/bin/sh\nexec sh '${CMAKE_CURRENT_SOURCE_DIR}/hosts_bench.sh' \
'${QV_STAGE_DIR}/${QV_OT_BIN_SUBDIR}' '$<TARGET_FILE:ls_call>' \
'${PROJECT_SOURCE_DIR}' \"$@\"\n"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
      GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  add_custom_target(hosts_bench DEPENDS ls_call ot_programs)
  add_dependencies(benchmarks hosts_bench)
endif()
