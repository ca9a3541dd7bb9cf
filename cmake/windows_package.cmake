# The Windows package: zep8-VERSION-windows-x64.zip with the static zep8.exe,
# a Russian text on its use, the licence and the third-party notices. Included from the top CMakeLists.txt for a
# Windows build:  cmake --build build/windows --target package
install(TARGETS zep8 RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/windows/README-ru.txt DESTINATION .)
# The manual ("Справка", F1) in manual\ beside the program.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/manual/ DESTINATION manual)
# The licence and the notices of what the static program contains (Qt, QCustomPlot).
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/data/THIRD-PARTY-NOTICES.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zep8)
set(CPACK_PACKAGE_VENDOR ARVO)
set(CPACK_PACKAGE_FILE_NAME zep8-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The program without its debugging information: a few megabytes, not thirty.
set(CPACK_STRIP_FILES ON)
include(CPack)

# The installer, zep8-VERSION-windows-x64-setup.exe, made by makensis from
# data/windows/zep8.nsi with the same files as the zip:
#   cmake --build build/windows --target installer
find_program(ZEP8_MAKENSIS makensis)
if(ZEP8_MAKENSIS)
    set(stage ${CMAKE_BINARY_DIR}/installer)
    set(setup ${CMAKE_BINARY_DIR}/zep8-${PROJECT_VERSION}-windows-x64-setup.exe)
    set(nsi ${PROJECT_SOURCE_DIR}/data/windows/zep8.nsi)
    set(texts ${PROJECT_SOURCE_DIR}/data/windows/README-ru.txt ${PROJECT_SOURCE_DIR}/data/THIRD-PARTY-NOTICES.txt)
    file(GLOB_RECURSE manual CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/manual/*)
    add_custom_command(OUTPUT ${setup}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
        COMMAND ${CMAKE_STRIP} -o ${stage}/zep8.exe $<TARGET_FILE:zep8>
        COMMAND ${CMAKE_COMMAND} -E copy ${texts} ${CMAKE_BINARY_DIR}/src/zep8/zep8.ico ${stage}
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${stage}/LICENSE.txt
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data/manual ${stage}/manual
        COMMAND ${ZEP8_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DFILES=${stage} -DOUTFILE=${setup} ${nsi}
        DEPENDS zep8 ${nsi} ${texts} ${manual} ${PROJECT_SOURCE_DIR}/LICENSE
        COMMENT "Making the installer"
        VERBATIM)
    add_custom_target(installer DEPENDS ${setup})
endif()
