# One static library per folder of the core. A library sees the headers of
# its own folder and, through what it links, of the layers below it: each
# folder is offered to the compiler through a directory of its own in the
# build tree, so an include against the layers is "file not found", not a
# dependency nobody meant. tests/support/check-layers names such an include.

# Offers `folder`'s headers (as "folder/x.h") to `target` and whatever links it.
function(dunro_layer_headers target folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# Adds every .cpp directly inside `folder` to `target`: a new file needs no edit here.
function(dunro_layer_sources target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  target_sources(${target} PRIVATE ${sources})
endfunction()

# dunro_layer(name folder [what it links...])
function(dunro_layer name folder)
  add_library(${name} STATIC)
  dunro_layer_sources(${name} ${folder})
  dunro_layer_headers(${name} ${folder})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()
