# Unit tests of libls's modules: they link the objects (internal names
# included) and run on a private machine root.
add_executable(ls_unit_test ls_unit_test.cc)
target_link_libraries(ls_unit_test ls_objects e2e_util GTest::gtest_main)
gtest_discover_tests(ls_unit_test DISCOVERY_TIMEOUT 30)

# The C ABI from C: every exported function, compiled as C11.
add_executable(ls_c_test ls_c_test.c)
target_link_libraries(ls_c_test ls)
add_test(NAME ls_c_test COMMAND ls_c_test)

# Exactly the public names leave the shared library.
add_test(NAME ls_exports
  COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:ls>
          -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/exports.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/check_exports.cmake)

# Installs libls with libsspi and libot into a scratch prefix and builds a
# C program against them through pkg-config and find_package(ls).
add_test(NAME ls_install
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh
          ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/ls_c_test.c
          ${CMAKE_C_COMPILER} ${CMAKE_COMMAND} "${CMAKE_C_FLAGS}")
set_tests_properties(ls_install PROPERTIES TIMEOUT 300)
