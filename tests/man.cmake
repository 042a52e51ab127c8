# Every manual page in man/ formats without a warning.
find_program(QV_MAN man)
add_test(NAME man_pages
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/man_test.sh "${QV_MAN}"
    ${PROJECT_SOURCE_DIR}/man)
set_tests_properties(man_pages PROPERTIES SKIP_RETURN_CODE 77)
