# The Debian packages, built from a copy of the tree, checked with lintian,
# installed into a throw-away root and used from there.  A whole second
# build: it carries the label "heavy", which make check runs and
# make check-asan leaves out (ctest -LE heavy), as every such test should.
add_test(NAME debian_packages
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/package_test.sh
    ${PROJECT_SOURCE_DIR} ${CMAKE_C_COMPILER})
set_tests_properties(debian_packages PROPERTIES
  LABELS heavy SKIP_RETURN_CODE 77 TIMEOUT 1800 PROCESSORS 2)
