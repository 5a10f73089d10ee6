# What `cmake --install` puts in and the Debian package that CPack makes of the same set
# (`make package`: build/veldra_VERSION_ARCH.deb).
#
# The install rules sit with what they install (app/, tools/veldra-file/); this file has
# the helper for man pages, the copyright file and the package's settings. Relative
# destinations: /usr/local/... for `cmake --install` by default, /usr/... in the package.
include(GNUInstallDirs)

# veldra_man_page(SOURCE): the man page SOURCE (NAME.1, relative to the current source
# folder) with the version put in, compressed as Debian wants it (gzip -9n: no name or time
# stamp, so a rebuild gives the same bytes), built with the programs and installed in man1.
function(veldra_man_page source)
  get_filename_component(file ${source} NAME)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${file})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${source} ${page} @ONLY)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND gzip -9nkf ${page}
    DEPENDS ${page}
    COMMENT "Compressing the man page ${file}"
    VERBATIM)
  add_custom_target(${file}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# The licences (machine-readable) and the changelog, where Debian keeps them.
install(FILES ${CMAKE_SOURCE_DIR}/app/data/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(changelog ${CMAKE_BINARY_DIR}/changelog)
add_custom_command(
  OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/app/data/changelog ${changelog}
  COMMAND gzip -9nf ${changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/app/data/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(veldra_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# ---- the Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veldra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Veldra authors")
# Debian wants a mail address here; the project has none yet, so the default is one that
# cannot exist (.invalid, RFC 2606) rather than a made-up real one.
set(VELDRA_PACKAGE_MAINTAINER "The Veldra authors <authors@veldra.invalid>"
    CACHE STRING "The package's Maintainer field: Name <address>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELDRA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # veldra_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps, run on the programs; what it cannot see is added:
# xdg-utils, whose xdg-open shows the help page. The fonts are drawn into the programs when
# they are built (tools/glyph-tables), so none is needed at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tuner for stringed instruments and the voice")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Veldra listens to the microphone, measures the pitch you play and shows it
on a spiral dial: one turn per octave, three octaves, a ring at each open
string of your instrument (guitar, violin, cello, erhu, pipa), a needle at
the pitch you are playing and a marker at the last note you held. Bass,
alto and singing modes show the note alone.
.
veldra-file runs the same tuner over a sound file and prints what the dial
shows, note by note, or writes its screen as PNG pictures.")
include(CPack)
