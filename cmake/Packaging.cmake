# Desktop integration and the Debian package.
#
# `cmake --install build --prefix DIR` gives a self-contained program folder in
# DIR (vantrel, vantrel-report, vantrel-exchange, vantrel-sync, tools/, images/, data/) with the menu entries,
# icons and AppStream data under DIR/share. The package (`cpack -G DEB` in the
# build folder) puts the program folder in /opt/vantrel and the rest under
# /usr/share, where the desktop looks for them: the same install rules, with
# each component installed under its own root (CPACK_INSTALL_CMAKE_PROJECTS).
#
# Components: program (the program folder), desktop (share/), database (an
# empty database made at install time; never part of the package).

# Where the program folder lives at run time: the menu entries start it there.
set(VANTREL_PROGRAM_PREFIX "/opt/vantrel" CACHE PATH "Folder the installed program runs from")
set(VANTREL_PACKAGE_MAINTAINER "Vantrel team <vantrel@example.org>" CACHE STRING "Debian package maintainer")

install(TARGETS vantrel-report vantrel-exchange vantrel-sync RUNTIME DESTINATION . COMPONENT program)

foreach(entry io.github.vantrel.Vantrel io.github.vantrel.VantrelReport io.github.vantrel.VantrelExchange
              io.github.vantrel.VantrelSync)
    configure_file(${PROJECT_SOURCE_DIR}/assets/desktop/${entry}.desktop.in
                   ${CMAKE_BINARY_DIR}/desktop/${entry}.desktop @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/desktop/${entry}.desktop DESTINATION share/applications COMPONENT desktop)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/assets/desktop/io.github.vantrel.Vantrel.metainfo.xml
        DESTINATION share/metainfo COMPONENT desktop)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/hicolor/${size}x${size}/apps/vantrel.png
                  ${PROJECT_SOURCE_DIR}/assets/icons/hicolor/${size}x${size}/apps/vantrel-report.png
                  ${PROJECT_SOURCE_DIR}/assets/icons/hicolor/${size}x${size}/apps/vantrel-exchange.png
                  ${PROJECT_SOURCE_DIR}/assets/icons/hicolor/${size}x${size}/apps/vantrel-sync.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT desktop)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/vantrel.svg ${PROJECT_SOURCE_DIR}/assets/icons/vantrel-report.svg
              ${PROJECT_SOURCE_DIR}/assets/icons/vantrel-exchange.svg ${PROJECT_SOURCE_DIR}/assets/icons/vantrel-sync.svg
        DESTINATION share/icons/hicolor/scalable/apps COMPONENT desktop)

# Debian's documentation files: the copyright and a compressed changelog.
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
foreach(script postinst postrm)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${script}.in ${CMAKE_BINARY_DIR}/packaging/${script} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                    WORLD_EXECUTE)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND sh -c "gzip -9n < changelog > changelog.gz"
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging VERBATIM)
add_custom_target(vantrel_package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION share/doc/vantrel COMPONENT desktop)
# The windows as tools/vantrel-screenshots draws them; the AppStream data shows them.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/screenshots/ DESTINATION share/doc/vantrel/screenshots
        COMPONENT desktop FILES_MATCHING PATTERN "*.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel team")
set(CPACK_PACKAGE_CONTACT "${VANTREL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "contact book for several people sharing one computer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vantrel keeps a contact book for each person who signs up with a user name
and password: names, home and office addresses, phone, mobile and fax
numbers, e-mail addresses, birthdays and anniversaries. Vantrel Report
prints the chosen contact as a card or saves it as a PDF file. Vantrel
Exchange imports and exports a book as vCard or CSV. Vantrel Sync keeps a
book in step with a CardDAV address book, keeping its password in the
desktop's keyring.

The program lives in /opt/vantrel. Its one database, in /opt/vantrel/data,
is shared by the members of group vantrel.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANTREL_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
# The libraries the executables link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the programs load at run time, which dpkg-shlibdeps cannot see:
#  libqt6sql6-sqlite   Qt's SQLite driver plugin, for the database
#  fonts-*             the window font (Comic Neue stands in for Comic Sans MS)
#                      and the outline fonts the card embeds in its PDF:
#                      Latin and Arabic, Chinese, emoji in black and white
#  adduser             postinst creates the group vantrel
#  libqt6keychain1     vantrel-sync's keyring library (dpkg-shlibdeps finds it too),
#  libsecret-1-0       which loads this one at run time to reach the desktop's
#                      keyring (the Secret Service of GNOME, KeePassXC and others)
# (The xcb platform plugin ships in libqt6gui6, which shlibdeps finds.)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "adduser, libqt6sql6-sqlite, libqt6keychain1, libsecret-1-0, fonts-comic-neue, fonts-noto-core, fonts-noto-cjk, fonts-symbola")
# A book on a PostgreSQL server (data/server.conf) needs Qt's driver for it.
# The login window's Calculator starts the first of these it finds (ui/Calculator.cpp);
# without any the program ends, so one is recommended: x11-apps brings xcalc.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libqt6sql6-psql, gnome-calculator | kcalc | mate-calc | galculator | qalculate-gtk | speedcrunch | x11-apps")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/postinst ${CMAKE_BINARY_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};Vantrel;program;${VANTREL_PROGRAM_PREFIX}"
    "${CMAKE_BINARY_DIR};Vantrel;desktop;/usr")
include(CPack)
