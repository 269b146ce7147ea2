# Qt's DLLs and plugins beside the Windows programs, as windeployqt would
# gather them: copied into the build's program folder (the tests run there)
# and installed beside the programs. The plugins go into the folders Qt looks
# for in the program's own folder (platforms/, imageformats/, styles/).
function(dunro_qt_runtime)
  set(modules Core Gui Widgets Network Svg Test)
  set(plugins
    platforms QWindowsIntegrationPlugin platforms QOffscreenIntegrationPlugin
    imageformats QGifPlugin imageformats QICOPlugin imageformats QJpegPlugin imageformats QSvgPlugin
    imageformats QTiffPlugin imageformats QWebpPlugin imageformats QTgaPlugin imageformats QWbmpPlugin
    imageformats QICNSPlugin
    iconengines QSvgIconPlugin styles QWindowsVistaStylePlugin)
  set(commands "")
  foreach(module ${modules})
    if(TARGET Qt6::${module})
      list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
        $<TARGET_FILE:Qt6::${module}> ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
      install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
  while(plugins)
    list(POP_FRONT plugins kind plugin)
    if(TARGET Qt6::${plugin})
      list(APPEND commands
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${kind}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::${plugin}> ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${kind})
      install(FILES $<TARGET_FILE:Qt6::${plugin}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${kind})
    endif()
  endwhile()
  add_custom_target(qt_runtime ALL ${commands} VERBATIM)
endfunction()
