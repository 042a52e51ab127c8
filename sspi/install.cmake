# Installs libsspi (component "sspi"): the libraries with their soname
# links, the header, a relocatable pkg-config file and the CMake package
# files, so that `find_package(sspi)` gives the imported target sspi::sspi.
include(CMakePackageConfigHelpers)

set(SSPI_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sspi)
set(SSPI_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS sspi sspi_static EXPORT sspiTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT sspi NAMELINK_COMPONENT sspi
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT sspi
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/sspi.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT sspi)

# The .pc file finds its prefix from its own place (QV_PC_PREFIX).
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/sspi.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/sspi.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sspi.pc
  DESTINATION ${SSPI_PKGCONFIG_DIR} COMPONENT sspi)

install(EXPORT sspiTargets NAMESPACE sspi::
  DESTINATION ${SSPI_CMAKE_DIR} COMPONENT sspi)
configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/sspiConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/sspiConfig.cmake
  INSTALL_DESTINATION ${SSPI_CMAKE_DIR})
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/sspiConfigVersion.cmake
  VERSION 1.0.0 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sspiConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/sspiConfigVersion.cmake
  DESTINATION ${SSPI_CMAKE_DIR} COMPONENT sspi)
