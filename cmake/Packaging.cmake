# The installed CMake package (find_package(kavo) gives kavo::core) and the
# Debian package made by `cpack -G DEB`.
include(CMakePackageConfigHelpers)
set(KAVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kavo)
install(EXPORT kavoTargets NAMESPACE kavo:: DESTINATION ${KAVO_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kavoConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kavoConfig.cmake INSTALL_DESTINATION ${KAVO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kavoConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kavoConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/kavoConfigVersion.cmake DESTINATION ${KAVO_CMAKE_DIR})

set(CPACK_PACKAGE_NAME kavo)
set(CPACK_PACKAGE_VENDOR "kavo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Bayesian evidence for sharp hypotheses on categorical data")
set(CPACK_PACKAGE_CONTACT "kavo developers <kavo@localhost>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "kavo developers <kavo@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
include(CPack)
