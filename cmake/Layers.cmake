# The library is built in layers: streams, then binary XML (SXC) on streams,
# then packages on both. Private headers are included as "LAYER/file.h"
# relative to src/; each layer's sources see only the include roots of their
# own and lower layers, so a lower layer that includes a higher one does not
# compile. The programs (cli, app) see their own folder and include/ only.

# zoq_include_root(TARGET SCOPE FOLDER...): gives TARGET an include root in
# which only the named folders of src/ appear.
function(zoq_include_root target scope)
  set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
  file(MAKE_DIRECTORY ${root})
  foreach(folder ${ARGN})
    if(NOT EXISTS ${root}/${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# zoq_layer(TARGET FOLDER...): an object library of one layer, seeing the
# public headers and the given folders of src/.
function(zoq_layer target)
  zoq_include_root(${target} PRIVATE ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/include)
  target_compile_definitions(${target} PRIVATE ZOQ_BUILDING_LIBRARY)
endfunction()
