# What `cmake --install` puts under the prefix, and the Debian package that
# CPack builds from it. Included from the top CMakeLists.txt after the targets.
include(GNUInstallDirs)

set(ZEP8_DATA ${PROJECT_SOURCE_DIR}/data)

install(TARGETS zep8 zep8-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ZEP8_DATA}/desktop/zep8.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZEP8_DATA}/mime/zep8.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${ZEP8_DATA}/metainfo/ru.arvo.zep8.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The PNGs are rendered from the SVG and kept in the tree, so the build needs no
# SVG renderer: rsvg-convert -w N -h N zep8.svg -o zep8-N.png
install(FILES ${ZEP8_DATA}/icons/zep8.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${ZEP8_DATA}/icons/zep8-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME zep8.png)
endforeach()
# The licence (GPL-3.0-or-later, whose text Debian keeps in common-licenses)
# and what the program uses under which licence.
install(FILES ${ZEP8_DATA}/THIRD-PARTY-NOTICES.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${ZEP8_DATA}/man/zep8.1 ${ZEP8_DATA}/man/zep8-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The manual lies at ../share/zep8/ from the program, installed or built: "Справка"
# looks for it there.
install(DIRECTORY ${ZEP8_DATA}/manual/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zep8)
# Copied only when it changed, so a build with nothing to do does nothing.
file(GLOB ZEP8_MANUAL_FILES CONFIGURE_DEPENDS ${ZEP8_DATA}/manual/*)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/zep8_manual.stamp
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${ZEP8_DATA}/manual
            $<TARGET_FILE_DIR:zep8>/../share/zep8
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/zep8_manual.stamp
    DEPENDS ${ZEP8_MANUAL_FILES}
    COMMENT "Copying the manual beside the built program")
add_custom_target(zep8_manual DEPENDS ${CMAKE_BINARY_DIR}/zep8_manual.stamp)
add_dependencies(zep8 zep8_manual)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zep8)
set(CPACK_PACKAGE_VENDOR ARVO)
set(CPACK_PACKAGE_CONTACT "ZEP8 configurator developers <zep8@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for the ZEP8 analogue input module on RS-485")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "configurator for the ZEP8 analogue input module on RS-485
 Reads every parameter of the ZEP8 eight-input analogue module through a serial
 port, edits them in a tree-list and writes them back, keeps configurations in
 .zep files, compares a file with the module, polls and logs the measured
 values, calibrates the inputs and changes the network settings. Other programs
 drive it from the command line and read its exit code.
 .
 Includes zep8-sim, a virtual module on a pseudo-terminal, and a Russian manual.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs and buttons in the desktop's language; the libraries come from shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
# xdg-open opens the manual and the exported parameter list.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${ZEP8_DATA}/debian/postinst ${ZEP8_DATA}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
