# Installing Kalimo (cmake --install BUILD --prefix PREFIX), and its desktop entry.
#
# The program finds everything it needs in its program folder, the folder of its executable (the
# skin pictures, config.ini, the updater, the screen-capture component, the camera's plugin), and
# keeps the user's settings and lists there too. So the installed program folder is one folder,
# PREFIX/lib/kalimo, laid out like build/bin; PREFIX/bin holds links to its commands.
# PREFIX/share holds the desktop entry and the icon theme's pictures.
include(${CMAKE_CURRENT_LIST_DIR}/DesktopEntry.cmake)

set(KALIMO_INSTALL_PROGRAM_DIR lib/kalimo)
set(KALIMO_DESKTOP_TEMPLATE ${CMAKE_SOURCE_DIR}/resources/kalimo.desktop.in)
set(KALIMO_INSTALL_STAGING ${CMAKE_BINARY_DIR}/install-staging)

# Programs and the libraries they load by name; those of a build without widgets are left out.
set(commands)
foreach(target kalimo kalimo-feed ostrel-register ostrel-bridge)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION ${KALIMO_INSTALL_PROGRAM_DIR})
    list(APPEND commands ${target})
  endif()
endforeach()
foreach(target gstostrel DoveVurarir ScreenCapture)
  if(TARGET ${target})
    install(TARGETS ${target} LIBRARY DESTINATION ${KALIMO_INSTALL_PROGRAM_DIR})
  endif()
endforeach()

install(FILES ${KALIMO_OUTPUT_DIR}/log4trovella.properties ${KALIMO_OUTPUT_DIR}/kalimo.png
        DESTINATION ${KALIMO_INSTALL_PROGRAM_DIR})
# config.ini also keeps the user's settings once saved: installing again must not undo them.
install(CODE "
  if(NOT EXISTS \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${KALIMO_INSTALL_PROGRAM_DIR}/config.ini\")
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${KALIMO_INSTALL_PROGRAM_DIR}\" TYPE FILE
         FILES \"${KALIMO_OUTPUT_DIR}/config.ini\")
  else()
    message(STATUS \"Kept: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${KALIMO_INSTALL_PROGRAM_DIR}/config.ini\")
  endif()")

if(TARGET kalimo-skin-pictures)
  install(DIRECTORY ${KALIMO_OUTPUT_DIR}/Bitmap ${KALIMO_OUTPUT_DIR}/Image DESTINATION ${KALIMO_INSTALL_PROGRAM_DIR})
endif()
if(TARGET kalimo_sample_video)
  install(DIRECTORY ${KALIMO_OUTPUT_DIR}/video DESTINATION ${KALIMO_INSTALL_PROGRAM_DIR})
endif()
if(TARGET kalimo_user_guide)
  install(DIRECTORY ${KALIMO_OUTPUT_DIR}/guide DESTINATION ${KALIMO_INSTALL_PROGRAM_DIR})
endif()

# PREFIX/bin/<command> -> ../lib/kalimo/<command>. The programs resolve the link to find their
# folder, so a command started through it behaves as one started in the program folder.
file(MAKE_DIRECTORY ${KALIMO_INSTALL_STAGING}/bin)
foreach(command ${commands})
  file(CREATE_LINK ../${KALIMO_INSTALL_PROGRAM_DIR}/${command} ${KALIMO_INSTALL_STAGING}/bin/${command} SYMBOLIC)
  install(FILES ${KALIMO_INSTALL_STAGING}/bin/${command} DESTINATION bin)
endforeach()

if(TARGET kalimo AND TARGET kalimo-icons)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/share/icons/hicolor DESTINATION share/icons)

  # The build tree's own entry, for running from the build: it starts build/bin/kalimo.
  kalimo_write_desktop_entry(${KALIMO_DESKTOP_TEMPLATE} ${CMAKE_BINARY_DIR}/share/applications/kalimo.desktop
    ${KALIMO_OUTPUT_DIR}/kalimo ${CMAKE_BINARY_DIR}/share/icons/hicolor/256x256/apps/kalimo.png)

  # The installed entry names the installed program, so it is written when the prefix is known.
  install(CODE "
    include(\"${CMAKE_CURRENT_LIST_DIR}/DesktopEntry.cmake\")
    kalimo_write_desktop_entry(\"${KALIMO_DESKTOP_TEMPLATE}\" \"${KALIMO_INSTALL_STAGING}/share/applications/kalimo.desktop\"
      \"\${CMAKE_INSTALL_PREFIX}/${KALIMO_INSTALL_PROGRAM_DIR}/kalimo\" kalimo)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\" TYPE FILE
         FILES \"${KALIMO_INSTALL_STAGING}/share/applications/kalimo.desktop\")")
endif()
