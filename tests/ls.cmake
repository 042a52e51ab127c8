# libls end to end, with hostile input: the driver ls_call runs each
# operation as a separate process on machines of a temporary cluster built
# with the staged object-tool programs.
add_executable(ls_call ls_call.cc)
target_link_libraries(ls_call ls)

qv_add_e2e_test(ls_e2e_test
  SOURCES ls_e2e_test.cc
  DEPENDS ls_call ot_programs simcluster)
target_compile_definitions(ls_e2e_test PRIVATE
  LS_CALL="$<TARGET_FILE:ls_call>"
  LS_OT_BIN_DIR="${QV_STAGE_DIR}/${QV_OT_BIN_SUBDIR}")
