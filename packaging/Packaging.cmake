# `make package` (or `cpack` in the build folder): a Debian package,
# ordinello_<version>_<arch>.deb, installing to /usr. dpkg-shlibdeps (dpkg-dev) works out
# the libraries the programs and the thumbnail library need; the rest are plug-ins and data
# loaded at run time. Translations are compiled into the programs (:/i18n).

set(ORDINELLO_MAINTAINER "The Ordinello developers <developers@ordinello.example>")
set(ORDINELLO_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/ordinello")

# Debian wants the copyright file and a compressed changelog in the package's doc folder.
configure_file("${CMAKE_CURRENT_LIST_DIR}/changelog.in" "${CMAKE_BINARY_DIR}/packaging/changelog" @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(
    OUTPUT "${CMAKE_BINARY_DIR}/packaging/changelog.gz"
    COMMAND "${GZIP_PROGRAM}" -9 -n -c "${CMAKE_BINARY_DIR}/packaging/changelog"
            > "${CMAKE_BINARY_DIR}/packaging/changelog.gz"
    DEPENDS "${CMAKE_BINARY_DIR}/packaging/changelog"
    VERBATIM)
# The manual pages, compressed as Debian wants them too.
set(ORDINELLO_MAN_PAGES)
foreach(page IN ITEMS ordinello.1 ordinello-cli.1)
    configure_file("${CMAKE_CURRENT_LIST_DIR}/${page}" "${CMAKE_BINARY_DIR}/packaging/${page}" @ONLY)
    add_custom_command(
        OUTPUT "${CMAKE_BINARY_DIR}/packaging/${page}.gz"
        COMMAND "${GZIP_PROGRAM}" -9 -n -c "${CMAKE_BINARY_DIR}/packaging/${page}"
                > "${CMAKE_BINARY_DIR}/packaging/${page}.gz"
        DEPENDS "${CMAKE_BINARY_DIR}/packaging/${page}"
        VERBATIM)
    list(APPEND ORDINELLO_MAN_PAGES "${CMAKE_BINARY_DIR}/packaging/${page}.gz")
endforeach()
add_custom_target(ordinello_package_docs ALL
    DEPENDS "${CMAKE_BINARY_DIR}/packaging/changelog.gz" ${ORDINELLO_MAN_PAGES})
install(FILES "${CMAKE_CURRENT_LIST_DIR}/copyright" "${CMAKE_BINARY_DIR}/packaging/changelog.gz"
        DESTINATION "${ORDINELLO_DOC_DIR}")
install(FILES ${ORDINELLO_MAN_PAGES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/lintian-overrides"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME ordinello)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "ordinello")
set(CPACK_PACKAGE_VENDOR "The Ordinello developers")
set(CPACK_PACKAGE_CONTACT "${ORDINELLO_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORDINELLO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the SVG plug-ins draw the
# program's icon and the theme's icons; the icon itself goes into the hicolor theme. Qt's
# own translated texts (the file dialog, the standard buttons, key names) are loaded beside
# the program's: without them an Italian window has English buttons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, hicolor-icon-theme, qt6-translations-l10n")
# The icon theme the program falls back to outside a desktop session.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme")
# The synopsis, then the long description (CPack indents its lines by one blank).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "put a folder's items in a chosen order and number them")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Ordinello lists a folder's visible items in the order the file manager shows
them. Drag the rows into the order you want, then number them: every item
gets a zero-padded sequence number and a blank in front of its name, so every
view that sorts by name shows that order. The prefixes come off again with one
command.
.
ordinello-cli does the same from the command line, for scripts.")

include(CPack)
