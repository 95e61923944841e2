# cpack -G DEB (in build/): build/discora_<version>_amd64.deb, installing into
# /usr what "cmake --install" installs, with the Debian documentation files.
# The version is the project's; the release date beside it is the one the
# changelog and the AppStream release carry.
set(DISCORA_RELEASE_DATE 2026-12-09)
set(DISCORA_APP_ID org.discora.Discora)

include(GNUInstallDirs)
set(DISCORA_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/discora)

# Debian's changelog wants the date as RFC 2822.
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _ymd ${DISCORA_RELEASE_DATE})
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR _month_index "${CMAKE_MATCH_2} - 1")
list(GET _months ${_month_index} _month)
set(DISCORA_RELEASE_DATE_RFC2822 "${CMAKE_MATCH_3} ${_month} ${CMAKE_MATCH_1} 12:00:00 +0000")

set(DISCORA_MAINTAINER "Discora Dev <dev@discora.invalid>" CACHE STRING
  "The package's maintainer, as Debian's control file names them")

set(_pkg ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(packaging/metainfo.xml.in ${_pkg}/${DISCORA_APP_ID}.metainfo.xml @ONLY)
configure_file(packaging/changelog.in ${_pkg}/changelog @ONLY)

# Debian wants the manual page and the changelog compressed, without a time
# stamp in the gzip header, so that two builds give the same bytes.
add_custom_command(OUTPUT ${_pkg}/discora.1.gz
  COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/discora.1 > ${_pkg}/discora.1.gz
  DEPENDS packaging/discora.1
  COMMENT "Compressing the manual page")
add_custom_command(OUTPUT ${_pkg}/changelog.gz
  COMMAND gzip -9nc ${_pkg}/changelog > ${_pkg}/changelog.gz
  DEPENDS ${_pkg}/changelog
  COMMENT "Compressing the changelog")
add_custom_target(discora_docs ALL DEPENDS ${_pkg}/discora.1.gz ${_pkg}/changelog.gz)

install(FILES ${_pkg}/${DISCORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg}/discora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg}/changelog.gz packaging/copyright DESTINATION ${DISCORA_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME discora)
set(CPACK_PACKAGE_VENDOR "The Discora developers")
set(CPACK_PACKAGE_CONTACT "${DISCORA_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DISCORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from what the binary links; playing a song goes
# through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "music folder catalogue
Discora turns one folder of MP3 files into a browsable music library: a
grid of artist, title, playing time, size, year, play count and a lyrics
mark, with a small song information file per song for the songwriter,
years, album, label, lyrics and play count. It searches the songs, hands
a song to the desktop's player and counts the plays it notices. It plays
no audio itself.")
include(CPack)
