# The Debian package (make package): both programs in /usr/bin, the menu entry with its
# icons, the systemd user unit for velora-cli daemon and the manual page of velora-cli.
# The dependencies are read from the built binaries by dpkg-shlibdeps.
include(GNUInstallDirs)

install(TARGETS velora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velora)
  install(TARGETS velora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES packaging/velora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/velora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Drawn from the SVG's shapes by scripts/make-icon-png.py.
install(FILES packaging/velora-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME velora.png)

# The unit of the repository starts the program from ~/.local/bin; the packaged one
# starts the installed program and drops the notes on installing it by hand.
file(READ ${CMAKE_SOURCE_DIR}/systemd/velora.service unit)
string(FIND "${unit}" "[Unit]" unitStart)
string(SUBSTRING "${unit}" ${unitStart} -1 unit)
string(REPLACE "ExecStart=%h/.local/bin/velora-cli daemon" "ExecStart=/usr/bin/velora-cli daemon" unit "${unit}")
if(NOT unit MATCHES "ExecStart=/usr/bin/velora-cli daemon")
  message(FATAL_ERROR "systemd/velora.service: its ExecStart line is not the one the package rewrites")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/packaging/velora.service
     "# VELORA without a window: velora-cli daemon as a systemd user service.\n"
     "#   systemctl --user enable --now velora.service\n"
     "# The settings are the window's (~/.config/velora/registry.sqlite3).\n"
     "${unit}")
install(FILES ${CMAKE_BINARY_DIR}/packaging/velora.service DESTINATION lib/systemd/user)

# Debian keeps manual pages compressed; -n leaves the name and time out, so the same
# page gives the same bytes.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/velora-cli.1.gz
                   COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/velora-cli.1 > ${CMAKE_BINARY_DIR}/packaging/velora-cli.1.gz
                   DEPENDS ${CMAKE_SOURCE_DIR}/packaging/velora-cli.1 VERBATIM)
add_custom_target(velora_manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/velora-cli.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/velora-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VELORA")
set(CPACK_PACKAGE_CONTACT "VELORA developers <velora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "scheduled export of local files to an FTP server")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "VELORA uploads a configured list of local files to one FTP server, unattended and on a\n"
       "schedule, sending only what changed. It keeps an event log, a transfer log and\n"
       "statistics per weekday. The window program is velora, velora-cli runs the same\n"
       "program without a window and as a systemd user service.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help menu and the log view open their addresses and files with xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
