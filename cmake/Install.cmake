# What `cmake --install` puts where. Two components: "runtime" (the programs,
# the shared library, schemas, desktop integration, man pages, completion)
# and "dev" (headers, static library, CMake and pkg-config files), which the
# Debian packages zoq and zoq-dev are made of.
include(CMakePackageConfigHelpers)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
set(ZOQ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/zoq)

install(TARGETS zoq RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

install(TARGETS zoqcore_shared EXPORT zoqTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_SKIP)
install(TARGETS zoqcore_shared EXPORT zoqTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev NAMELINK_ONLY)
install(TARGETS zoqcore EXPORT zoqTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(DIRECTORY include/zoq DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
  FILES_MATCHING PATTERN "*.h")

# The schemas compiled into the build tree (Resource/CMakeLists.txt).
install(DIRECTORY ${ZOQ_SCHEMA_DIR}/ DESTINATION ${ZOQ_INSTALL_SCHEMA_DIR} COMPONENT runtime
  FILES_MATCHING PATTERN "*.bsg")

# find_package(zoq): zoq::zoqcore (shared) and zoq::zoqcore_static.
install(EXPORT zoqTargets NAMESPACE zoq:: DESTINATION ${ZOQ_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(packaging/zoqConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/packaging/zoqConfig.cmake
  INSTALL_DESTINATION ${ZOQ_INSTALL_CMAKEDIR})
# A 0.x minor release may change the interface (see the soname).
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/packaging/zoqConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/packaging/zoqConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/packaging/zoqConfigVersion.cmake
  DESTINATION ${ZOQ_INSTALL_CMAKEDIR} COMPONENT dev)

# pkg-config: zoq.pc (a staged installation is used through
# PKG_CONFIG_SYSROOT_DIR).
configure_file(packaging/zoq.pc.in ${CMAKE_CURRENT_BINARY_DIR}/packaging/zoq.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/zoq.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
