# SPDX-License-Identifier: GPL-3.0-or-later
# What an installation holds beside the programs and the catalogue, and the
# Debian package made from it (cmake --build build --target package).

install(FILES ${CMAKE_SOURCE_DIR}/packaging/krtwin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The MIME types the desktop entry names (Intel HEX, Motorola S, JEDEC):
# Debian's shared-mime-info has none of them. Its trigger rebuilds the
# desktop's database when the package is installed or removed.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/krtwin-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME krtwin.xml)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/krtwin.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The metainfo's release is this version, dated by its commit.
set(_epoch_before "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${KRT_SOURCE_DATE_EPOCH})
string(TIMESTAMP KRT_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KRT_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${_epoch_before}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/io.github.krtwin.KRTwin.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/io.github.krtwin.KRTwin.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/io.github.krtwin.KRTwin.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_SOURCE_DIR}/packaging/README.Debian
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/krtwin)
# The small data files that the README's examples use.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/krtwin/examples)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME krtwin)

# The man pages, the Debian changelog and the upstream one (NEWS), compressed
# as Debian wants them: gzip -9n, so that neither a file name nor a time goes
# into the archive (KRT_SOURCE_DATE_EPOCH is the commit's date; see
# CMakeLists.txt).
set(CPACK_PACKAGE_CONTACT "KRTwin developers <krtwin@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(KRT_DEBIAN_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian.in ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
set(_compressed "")
function(krt_gzip input output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9n -c ${input} > ${output}
    DEPENDS ${input} ${ARGN}
    VERBATIM)
  set(_compressed ${_compressed} ${output} PARENT_SCOPE)
endfunction()
krt_gzip(${CMAKE_SOURCE_DIR}/docs/krtwin.1 ${CMAKE_BINARY_DIR}/man/krtwin.1.gz)
krt_gzip(${CMAKE_BINARY_DIR}/packaging/changelog.Debian ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
krt_gzip(${CMAKE_SOURCE_DIR}/NEWS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
if(KRT_MAN_PAGE)
  krt_gzip(${KRT_MAN_PAGE} ${KRT_MAN_PAGE}.gz krt_man_page)
  install(FILES ${KRT_MAN_PAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
add_custom_target(krt_compressed_docs ALL DEPENDS ${_compressed})
install(FILES ${CMAKE_BINARY_DIR}/man/krtwin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/krtwin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krtwin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program of the KRT universal device programmer")
# Wrapped by hand: Debian wants the lines of a description within 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "KRTwin reads, programs, verifies, blank-checks, erases and secures EPROMs,"
  "OTP PROMs, parallel EEPROMs, 28F flash, serial EEPROMs, GAL PLDs and PIC"
  "microcontrollers with the KRT programmer on a PC printer port, with Intel"
  "HEX, Motorola S, JEDEC and binary files. It has a Qt window program"
  "(krtwin), a command line (krt) and a simulated programmer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG plugin at run time (the icon): dpkg-shlibdeps cannot see
# it. The Japanese font only makes the Japanese texts look right: the window
# runs without it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, zlib1g, libnettle8")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, bash-completion")
# Programs without their debug symbols, as Debian ships them. (CPack's own
# krtwin-dbgsym package, CPACK_DEBIAN_DEBUGINFO_PACKAGE, is not used: the
# one of CMake 3.25 lists its files in md5sums by their paths in the build
# tree and has no copyright file, and lintian rejects it. The optimised
# build's programs in build/bin keep their symbols.)
set(CPACK_STRIP_FILES ON)
# Reproducible: cpack itself runs with the commit's date, and every file of
# the staging tree gets no later time than that before it is archived.
configure_file(${CMAKE_SOURCE_DIR}/cmake/PackageTimes.cmake.in ${CMAKE_BINARY_DIR}/packaging/PackageTimes.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/packaging/PackageTimes.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/packaging/PackageTimes.cmake)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
include(CPack)
