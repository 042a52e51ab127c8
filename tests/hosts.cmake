# libls between two hosts: separate mount and UTS namespaces with an sshd
# each (tests/hosts.sh).  Needs real root and openssh-server; skipped with
# the reason otherwise.  Labelled heavy: sanitizer runs leave it out.
add_test(NAME two_hosts
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/hosts_test.sh
    ${QV_STAGE_DIR}/${QV_OT_BIN_SUBDIR} $<TARGET_FILE:ls_call>
    ${PROJECT_SOURCE_DIR})
set_tests_properties(two_hosts PROPERTIES
  LABELS heavy TIMEOUT 300 SKIP_RETURN_CODE 77)
