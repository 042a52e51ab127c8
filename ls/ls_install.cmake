# Installation of libls: the libraries, ls.h, ls.pc and the CMake package
# (find_package(ls) gives ls::ls), all in the install component "ls".
include(CMakePackageConfigHelpers)

# Installed, libls finds libot and libsspi beside itself, whatever the
# program that loads it was linked with.
set_target_properties(ls PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS ls EXPORT lsTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ls NAMELINK_COMPONENT ls
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ls)
install(TARGETS ls_static
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ls)

set(ls_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/ls)
install(EXPORT lsTargets NAMESPACE ls:: DESTINATION ${ls_cmake_dir}
  COMPONENT ls)
configure_package_config_file(lsConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/lsConfig.cmake
  INSTALL_DESTINATION ${ls_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/lsConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lsConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/lsConfigVersion.cmake
  DESTINATION ${ls_cmake_dir} COMPONENT ls)

# The .pc file finds its prefix from where it lies (QV_PC_PREFIX), so an
# installed tree can be moved.
configure_file(ls.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ls.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ls.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ls)
