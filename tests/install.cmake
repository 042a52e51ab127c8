# The whole build installed into a scratch DESTDIR: the file list, the
# installed programs and the downstream example (examples/downstream).
add_test(NAME install_tree
  COMMAND ${CMAKE_COMMAND} -E env
    BINDIR=${CMAKE_INSTALL_BINDIR} SBINDIR=${CMAKE_INSTALL_SBINDIR}
    LIBDIR=${CMAKE_INSTALL_LIBDIR} INCLUDEDIR=${CMAKE_INSTALL_INCLUDEDIR}
    MANDIR=${CMAKE_INSTALL_MANDIR} OTBINDIR=${QV_OT_BIN_SUBDIR}
    sh ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh
      ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${CMAKE_COMMAND}
      "${CMAKE_GENERATOR}" ${CMAKE_MAKE_PROGRAM} ${CMAKE_C_COMPILER}
      "${CMAKE_C_FLAGS}" "${CMAKE_EXE_LINKER_FLAGS}")
set_tests_properties(install_tree PROPERTIES TIMEOUT 300)
