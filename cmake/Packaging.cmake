# SPDX-License-Identifier: GPL-3.0-or-later
# What an installation holds beside the programs and the catalogue, and the
# Debian package made from it (cmake --build build --target package).

install(FILES ${CMAKE_SOURCE_DIR}/packaging/krtwin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/krtwin.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/io.github.krtwin.KRTwin.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/docs/krtwin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/krtwin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krtwin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KRTwin developers <krtwin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program of the KRT universal device programmer")
set(CPACK_PACKAGE_DESCRIPTION
  "KRTwin reads, programs, verifies, blank-checks, erases and secures EPROMs, OTP PROMs, parallel EEPROMs, 28F flash, serial EEPROMs, GAL PLDs and PIC microcontrollers with the KRT programmer on a PC printer port, with Intel HEX, Motorola S, JEDEC and binary files. It has a Qt window program (krtwin), a command line (krt) and a simulated programmer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these at run time (the SVG icon, the Japanese font): dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-ipafont-gothic, zlib1g, libnettle8")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
include(CPack)
