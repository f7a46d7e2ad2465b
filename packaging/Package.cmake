# What a desktop installation holds besides the programs (manual pages, AppStream metadata, the
# copyright and changelog files) and the Debian package built from it by CPack.
# scripts/package.sh builds the package from a Release build of its own.

set(ZORVANE_PACKAGE_MAINTAINER "Zorvane maintainers <maintainers@zorvane.example>"
  CACHE STRING "Maintainer of the Debian package and of the changelog entry")
set(ZORVANE_HOMEPAGE "https://zorvane.example" CACHE STRING "Home page named by the package and the metadata")
set(ZORVANE_SCREENSHOT_URL "${ZORVANE_HOMEPAGE}/docs/main-window.png"
  CACHE STRING "Address of docs/main-window.png as published, for the AppStream metadata")
set(ZORVANE_APPSTREAM_ID "example.zorvane.Zorvane" CACHE STRING "AppStream component id (reverse DNS)")
set(ZORVANE_PROJECT_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence expression of the project")
# The date of this version: the changelog entry and the metadata's release.
set(ZORVANE_RELEASE_DATE "2026-12-08")
set(ZORVANE_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 12:00:00 +0000")

set(_generated ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_generated})
configure_file(${CMAKE_CURRENT_LIST_DIR}/metainfo.xml.in ${_generated}/${ZORVANE_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${_generated}/changelog @ONLY)
set(ZORVANE_METAINFO_FILE ${_generated}/${ZORVANE_APPSTREAM_ID}.metainfo.xml)

# Manual pages and the changelog are installed compressed as Debian wants them: gzip -9 without the
# file's name and time, so the package is the same from one build to the next.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(_compressed)
foreach(_source ${CMAKE_CURRENT_LIST_DIR}/man/zorvane.1 ${CMAKE_CURRENT_LIST_DIR}/man/zorvane-cli.1
        ${_generated}/changelog)
  get_filename_component(_name ${_source} NAME)
  set(_copy ${_generated}/gz/${_name})
  add_custom_command(OUTPUT ${_copy}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_generated}/gz
    COMMAND ${CMAKE_COMMAND} -E copy ${_source} ${_copy}
    COMMAND ${GZIP_PROGRAM} -9nf ${_copy}
    DEPENDS ${_source} VERBATIM)
  list(APPEND _compressed ${_copy}.gz)
endforeach()
add_custom_target(zorvane_compressed_docs ALL DEPENDS ${_compressed})

install(FILES ${_generated}/gz/zorvane.1.gz ${_generated}/gz/zorvane-cli.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZORVANE_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${_generated}/gz/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvane)
set(CPACK_PACKAGE_VENDOR "Zorvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZORVANE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "draw history and formula analysis for Kuai 3 dice lotteries")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/description.txt)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZORVANE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZORVANE_HOMEPAGE})
# Library dependencies come from the binaries; the SQLite driver is a plugin loaded at run time,
# which dpkg-shlibdeps cannot see, and so are Qt's own Chinese texts (确定/取消 on the standard
# buttons). The window is in Chinese, so a CJK font is recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
