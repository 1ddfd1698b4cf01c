# Installing the Linux edition, and its Debian package (cpack -G DEB).
#
#   bin/pellrun, bin/pellrun-sim
#   share/pellrun/                      songs and effects (found relative to the program)
#   libexec/xscreensaver/pellrun        the hack: a link to bin/pellrun
#   share/xscreensaver/config/pellrun.xml   its options for the host's settings dialog
#   share/man/man6/                     manual pages
#   share/icons/hicolor/NxN/apps/       the icon
#   share/applications/pellrun.desktop  opens the settings window
#   share/applications/pellrun-window.desktop   the meeting in a window
include(GNUInstallDirs)
set(PELLRUN_PACKAGING ${CMAKE_SOURCE_DIR}/packaging/linux)

install(TARGETS pellrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET pellrun-sim)
  install(TARGETS pellrun-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
file(GLOB PELLRUN_DATA_FILES ${CMAKE_SOURCE_DIR}/Data/*.dat)
install(FILES ${PELLRUN_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/pellrun)

# The hack is the program itself under the name the host runs.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-extra)
file(CREATE_LINK ../../bin/pellrun ${CMAKE_BINARY_DIR}/install-extra/pellrun SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-extra/pellrun DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
install(FILES ${PELLRUN_PACKAGING}/pellrun.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)

# Manual pages (with the version filled in) and the package's changelog go in
# compressed, as Debian wants them.
foreach(name pellrun.6 pellrun-sim.6)
  configure_file(${PELLRUN_PACKAGING}/${name}.in ${CMAKE_BINARY_DIR}/install-extra/${name} @ONLY)
endforeach()
configure_file(${PELLRUN_PACKAGING}/changelog ${CMAKE_BINARY_DIR}/install-extra/changelog COPYONLY)
find_program(GZIP gzip REQUIRED)
set(PELLRUN_GZIPPED)
foreach(name pellrun.6 pellrun-sim.6 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/install-extra/${name}.gz
    COMMAND ${GZIP} -9nc ${CMAKE_BINARY_DIR}/install-extra/${name} > ${CMAKE_BINARY_DIR}/install-extra/${name}.gz
    DEPENDS ${CMAKE_BINARY_DIR}/install-extra/${name})
  list(APPEND PELLRUN_GZIPPED ${CMAKE_BINARY_DIR}/install-extra/${name}.gz)
endforeach()
add_custom_target(pellrun-install-extra ALL DEPENDS ${PELLRUN_GZIPPED})
install(FILES ${CMAKE_BINARY_DIR}/install-extra/pellrun.6.gz
              ${CMAKE_BINARY_DIR}/install-extra/pellrun-sim.6.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_BINARY_DIR}/install-extra/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pellrun RENAME changelog.gz)
install(FILES ${PELLRUN_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pellrun)

foreach(size 16 32 48 64 128 256)
  install(FILES ${PELLRUN_PACKAGING}/icons/pellrun-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME pellrun.png)
endforeach()
install(FILES ${PELLRUN_PACKAGING}/pellrun.desktop ${PELLRUN_PACKAGING}/pellrun-window.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The Debian package. Library dependencies come from dpkg-shlibdeps; the soundfont and
# the Japanese font are read at run time, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellrun)
set(CPACK_PACKAGE_VERSION ${PELLRUN_VERSION})
set(CPACK_PACKAGE_CONTACT "${PELLRUN_PUBLISHER} <developers@pellrun.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver staging an endless meeting of mouse races")
set(CPACK_PACKAGE_DESCRIPTION "Six mice are drawn from a roster for every race. A race board shows their
names, odds and running styles beside a live clock; at the start time the mice
parade to the gate and race two and a half laps of turf or dirt, with music.
It runs as an xscreensaver hack and has a settings window of its own.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | fluid-soundfont-gm, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
