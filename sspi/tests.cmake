# Tests of libsspi.  Unit tests link the objects (internals included);
# the C test, the export check and the install check use the shared
# library as clients do.

add_executable(sspi_unit_test sspi_test.cc)
target_link_libraries(sspi_unit_test sspi_objects GTest::gtest_main)
gtest_discover_tests(sspi_unit_test TEST_PREFIX "sspi.")

# The C interface, compiled as C.
add_executable(sspi_c_test sspi_c_test.c)
set_target_properties(sspi_c_test PROPERTIES C_STANDARD 11 C_EXTENSIONS OFF)
target_link_libraries(sspi_c_test sspi)
add_test(NAME sspi_c_test COMMAND sspi_c_test)

# Only the public names leave libsspi.so.
add_test(NAME sspi_exports
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/exports_test.sh $<TARGET_FILE:sspi>)

# An install of the sspi component is usable through pkg-config and
# find_package(sspi).
add_test(NAME sspi_install
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh
    ${PROJECT_BINARY_DIR} ${CMAKE_C_COMPILER} "${CMAKE_C_FLAGS}"
    ${CMAKE_COMMAND} ${CMAKE_MAKE_PROGRAM})
set_tests_properties(sspi_install PROPERTIES TIMEOUT 120)
