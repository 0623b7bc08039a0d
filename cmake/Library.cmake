# zoqcore from the objects of the three layers: a static library (what the
# tests, benchmarks and build tools link, reaching inside it) and a shared
# one (libzoqcore.so) exporting only the public interface. Installed as
# zoq::zoqcore (shared) and zoq::zoqcore_static.
set(_zoq_objects
  $<TARGET_OBJECTS:zoq_stream> $<TARGET_OBJECTS:zoq_sxc> $<TARGET_OBJECTS:zoq_package>)
set(_zoq_dependencies
  ZLIB::ZLIB EXPAT::EXPAT OpenSSL::Crypto PkgConfig::LIBDEFLATE PkgConfig::ISAL PkgConfig::PCRE2
  Threads::Threads)

# The shared library needs position-independent objects. Calls inside it
# stay direct: nobody interposes the library's own functions.
set_target_properties(zoq_stream zoq_sxc zoq_package PROPERTIES POSITION_INDEPENDENT_CODE ON)
foreach(layer zoq_stream zoq_sxc zoq_package)
  target_compile_options(${layer} PRIVATE -fno-semantic-interposition)
endforeach()

add_library(zoqcore STATIC ${_zoq_objects})
target_include_directories(zoqcore PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(zoqcore PUBLIC ${_zoq_dependencies})
target_compile_definitions(zoqcore INTERFACE ZOQ_STATIC)
set_target_properties(zoqcore PROPERTIES EXPORT_NAME zoqcore_static)

# While the major version is 0 a minor release may change the interface, so
# the soname carries both numbers (libzoqcore.so.0.1).
add_library(zoqcore_shared SHARED ${_zoq_objects})
target_include_directories(zoqcore_shared PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(zoqcore_shared PRIVATE ${_zoq_dependencies})
set_target_properties(zoqcore_shared PROPERTIES
  OUTPUT_NAME zoqcore
  EXPORT_NAME zoqcore
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
# Every symbol the library uses must be resolved when it is linked (sanitizer
# runtimes are resolved only by the program, so not in those builds).
if(NOT ZOQ_SANITIZE AND NOT ZOQ_TSAN)
  target_link_options(zoqcore_shared PRIVATE -Wl,--no-undefined)
endif()

# The library that zoq and zoq-explorer link. The shared one checks that the
# programs need nothing beyond the exported interface; a program cannot hold
# both forms, so it is not combined with the test and benchmark programs,
# which link the tool's and browser's code together with the static library.
if(ZOQ_LINK_SHARED)
  if(ZOQ_BUILD_TESTS OR ZOQ_BUILD_BENCH OR ZOQ_BUILD_FUZZ)
    message(FATAL_ERROR "ZOQ_LINK_SHARED needs ZOQ_BUILD_TESTS, ZOQ_BUILD_BENCH and ZOQ_BUILD_FUZZ off")
  endif()
  set(ZOQ_PROGRAM_LIBRARY zoqcore_shared)
  # Installed outside the system's library folders, the programs find the
  # library relative to themselves.
  list(FIND CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES ${CMAKE_INSTALL_FULL_LIBDIR} _zoq_system_libdir)
  if(_zoq_system_libdir EQUAL -1)
    file(RELATIVE_PATH _zoq_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
    set(CMAKE_INSTALL_RPATH "$ORIGIN/${_zoq_bin_to_lib}")
  endif()
else()
  set(ZOQ_PROGRAM_LIBRARY zoqcore)
endif()
