# Installs libot (component "ot") with its soname links and a CMake package,
# so that libls's exported targets can name it: find_package(ot) gives the
# imported target ot::ot.  ot.h stays private to the tree: callers outside
# reach libot only through its records, ot_records.h, which the ls
# component installs beside ls.h.
include(CMakePackageConfigHelpers)

set(OT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ot)

# A program's RUNPATH does not reach the libraries its libraries need, so
# the installed libot finds libsspi beside itself (RSClient, linked with
# --as-needed, names libot alone).
set_target_properties(ot PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS ot EXPORT otTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT ot NAMELINK_COMPONENT ot)
install(EXPORT otTargets NAMESPACE ot::
  DESTINATION ${OT_CMAKE_DIR} COMPONENT ot)
configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/otConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/otConfig.cmake
  INSTALL_DESTINATION ${OT_CMAKE_DIR})
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/otConfigVersion.cmake
  VERSION 1.0.0 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/otConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/otConfigVersion.cmake
  DESTINATION ${OT_CMAKE_DIR} COMPONENT ot)
