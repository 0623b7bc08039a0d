# The fuzz targets, shared by the libFuzzer build (fuzz/CMakeLists.txt) and
# the corpus replay in the tests (tests/hardening/CMakeLists.txt).
set(ZOQ_FUZZ_TARGETS
  package
  sxc_decode
  sxc_encode
  bsg_load
  stream_decorators
  path
)
set(ZOQ_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

# zoq_fuzz_executable(EXE TARGET SOURCES...): the target's code linked with
# the library, told where the schemas lie.
function(zoq_fuzz_executable exe target)
  add_executable(${exe} ${ZOQ_FUZZ_DIR}/fuzz_${target}.cc ${ARGN})
  target_link_libraries(${exe} PRIVATE zoq_internal)
  target_include_directories(${exe} PRIVATE ${ZOQ_FUZZ_DIR})
  target_compile_definitions(${exe} PRIVATE
    ZOQ_FUZZ_RESOURCE_DIR="${CMAKE_BINARY_DIR}"
    ZOQ_FUZZ_SCHEMA_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data/sxc")
  if(TARGET zoq_schemas)
    add_dependencies(${exe} zoq_schemas)
  endif()
endfunction()
