# The installed CMake package (find_package(kavo) gives kavo::core), the
# pkg-config file, the licence, and the Debian packages made by `cpack -G DEB`:
# kavo (programs and manual pages) and libkavo-dev (header, library, CMake and
# pkg-config files).
include(CMakePackageConfigHelpers)
set(KAVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kavo)
install(EXPORT kavoTargets NAMESPACE kavo:: DESTINATION ${KAVO_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kavoConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kavoConfig.cmake INSTALL_DESTINATION ${KAVO_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kavoConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kavoConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/kavoConfigVersion.cmake DESTINATION ${KAVO_CMAKE_DIR}
  COMPONENT development)

# The .pc file finds its prefix from its own place, so the tree can move.
file(RELATIVE_PATH KAVO_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" KAVO_PC_TO_PREFIX "${KAVO_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kavo.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kavo.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kavo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)

configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright COPYONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR}
  COMPONENT runtime)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libkavo-dev COMPONENT development)

set(CPACK_PACKAGE_NAME kavo)
set(CPACK_PACKAGE_VENDOR "kavo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Bayesian evidence for sharp hypotheses on categorical data")
set(CPACK_PACKAGE_CONTACT "kavo developers <kavo@localhost>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "kavo developers <kavo@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME kavo)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION science)
# Versioned dependencies from what the binaries really need.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkavo-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libstdc++-12-dev | libstdc++-dev")
# "kavoind, kavomcn, kavohomo, kavohw and kavoprop"
set(KAVO_PROGRAMS_SHOWN ${KAVO_PROGRAMS})
list(POP_BACK KAVO_PROGRAMS_SHOWN KAVO_LAST_PROGRAM)
list(JOIN KAVO_PROGRAMS_SHOWN ", " KAVO_PROGRAMS_SHOWN)
string(APPEND KAVO_PROGRAMS_SHOWN " and ${KAVO_LAST_PROGRAM}")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "Bayesian evidence for sharp hypotheses on categorical data\n The programs ${KAVO_PROGRAMS_SHOWN}.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "Bayesian evidence for sharp hypotheses on categorical data: development files\n The kavo library, its header, and its CMake and pkg-config files.")
set(CPACK_GENERATOR DEB)
include(CPack)
