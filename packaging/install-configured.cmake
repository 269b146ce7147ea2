# Runs at install time, from dunro_install_configured: fills a template with
# the folders of the prefix being installed to, then installs it.
foreach(folder BINDIR LAUNCHER_DIR)
  if(IS_ABSOLUTE "${DUNRO_${folder}}")
    set(DUNRO_FULL_${folder} "${DUNRO_${folder}}")
  else()
    set(DUNRO_FULL_${folder} "${CMAKE_INSTALL_PREFIX}/${DUNRO_${folder}}")
  endif()
endforeach()
# The launcher finds the window from its own place, so that an unpacked or
# moved tree starts its own window.
file(RELATIVE_PATH DUNRO_LAUNCHER_TO_BINDIR "${DUNRO_FULL_LAUNCHER_DIR}" "${DUNRO_FULL_BINDIR}")

configure_file("${DUNRO_TEMPLATE}" "${DUNRO_STAGED}" @ONLY)
if(IS_ABSOLUTE "${DUNRO_DESTINATION}")
  set(destination "${DUNRO_DESTINATION}")
else()
  set(destination "${CMAKE_INSTALL_PREFIX}/${DUNRO_DESTINATION}")
endif()
file(INSTALL DESTINATION "${destination}" TYPE ${DUNRO_TYPE} FILES "${DUNRO_STAGED}")
