# Unit tests of libot's internals link its objects; the C test and the
# export check use the shared library as callers do.
add_executable(ot_unit_test ot_test.cc)
target_link_libraries(ot_unit_test ot_objects e2e_util
  GTest::gtest_main)
gtest_discover_tests(ot_unit_test PROPERTIES TIMEOUT 120)

add_executable(ot_c_test ot_c_test.c)
target_link_libraries(ot_c_test ot)
set_target_properties(ot_c_test PROPERTIES
  BUILD_RPATH "${QV_STAGE_DIR}/${CMAKE_INSTALL_LIBDIR}")
add_test(NAME ot_c_test COMMAND ot_c_test)

add_test(NAME ot_exports COMMAND ${CMAKE_COMMAND}
  -DLIBRARY=$<TARGET_FILE:ot> -DMAP=${CMAKE_CURRENT_SOURCE_DIR}/libot.map
  -P ${CMAKE_CURRENT_SOURCE_DIR}/check_exports.cmake)
