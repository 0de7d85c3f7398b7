# One static library per source folder ("layer"), linked in one direction only:
#   runtime <- fs, registry <- ui <- app
# A layer's headers are reachable as "<layer>/header.h" only through an include root of its own,
# which a target sees when it links the layer. So a layer that includes a header of a layer it
# does not link (one above it) fails to build, instead of growing a cycle nobody notices.

function(veltrane_layer name)
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${name} ${root}/${name} RESULT linked SYMBOLIC)
  if(NOT linked EQUAL 0)
    # Where symbolic links are not allowed (Windows without developer mode), a copy of the
    # headers made at configure time serves instead.
    file(COPY ${PROJECT_SOURCE_DIR}/src/${name}/ DESTINATION ${root}/${name}
         FILES_MATCHING PATTERN "*.h")
  endif()
  add_library(veltrane_${name} STATIC)
  target_include_directories(veltrane_${name} PUBLIC ${root})
  target_link_libraries(veltrane_${name} PRIVATE veltrane_options veltrane_lean)
  set_property(GLOBAL APPEND PROPERTY VELTRANE_LAYERS veltrane_${name})
endfunction()
