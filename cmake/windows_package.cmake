# The Windows package: zep8-VERSION-windows-x64.zip with the static zep8.exe,
# a Russian text on its use, the licence and the third-party notices. Included from the top CMakeLists.txt for a
# Windows build:  cmake --build build/windows --target package
install(TARGETS zep8 RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/windows/README-ru.txt DESTINATION .)
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
