# The art of a resource file drawn into PNG files of SIZE x SIZE pixels at
# build time (librsvg's rsvg-convert), gathered into a resource file of the
# same name and prefix, for a Qt that has no SVG module to draw it at run time.
function(dunro_art_png target qrc size)
  find_program(DUNRO_RSVG_CONVERT rsvg-convert REQUIRED)
  get_filename_component(qrc_name ${qrc} NAME)
  get_filename_component(art_dir ${qrc} DIRECTORY)
  file(STRINGS ${qrc} lines REGEX "<file>.*\\.svg</file>")
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/art-png)
  set(entries "")
  set(pngs "")
  foreach(line ${lines})
    string(REGEX REPLACE ".*<file>(.*)\\.svg</file>.*" "\\1" name "${line}")
    add_custom_command(OUTPUT ${out_dir}/${name}.png
      COMMAND ${DUNRO_RSVG_CONVERT} -w ${size} -h ${size} -o ${out_dir}/${name}.png ${art_dir}/${name}.svg
      DEPENDS ${art_dir}/${name}.svg VERBATIM)
    string(APPEND entries "  <file>${name}.png</file>\n")
    list(APPEND pngs ${out_dir}/${name}.png)
  endforeach()
  file(STRINGS ${qrc} prefix REGEX "<qresource")
  file(WRITE ${out_dir}/${qrc_name}.in "<!DOCTYPE RCC><RCC version=\"1.0\">\n${prefix}\n${entries}</qresource>\n</RCC>\n")
  configure_file(${out_dir}/${qrc_name}.in ${out_dir}/${qrc_name} COPYONLY)
  add_custom_target(${target}_art_png DEPENDS ${pngs})
  add_dependencies(${target} ${target}_art_png)
  target_sources(${target} PRIVATE ${out_dir}/${qrc_name})
endfunction()
