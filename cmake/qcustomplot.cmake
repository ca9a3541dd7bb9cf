# The poll plot's library, QCustomPlot (GPL-3.0-or-later), as the target
# `qcustomplot`: Debian's shared build for Qt 6 (libqcustomplot-dev), or, with
# ZEP8_QCUSTOMPLOT_SOURCE_DIR set to a folder holding qcustomplot.cpp and
# qcustomplot.h (its source package), that one source compiled here into a
# static library, for a Qt that has no build of it (Qt for Windows).
set(ZEP8_QCUSTOMPLOT_SOURCE_DIR "" CACHE PATH
    "Compile QCustomPlot from qcustomplot.cpp in this folder instead of using the system's")
find_package(Qt6 REQUIRED COMPONENTS Widgets)
# Its header includes Qt's print support; a Qt built without it gets an empty
# one, and QCustomPlot then leaves out its PDF export (unused here). So does
# the build for Windows: the static Qt made by tools/build-qt-windows has a
# print engine that asks for DirectWrite parts the Qt leaves out, and would
# not link.
if(NOT WIN32)
    find_package(Qt6 QUIET COMPONENTS PrintSupport)
endif()

if(TARGET qcustomplot)
    return()
endif()
if(ZEP8_QCUSTOMPLOT_SOURCE_DIR)
    set(dir ${ZEP8_QCUSTOMPLOT_SOURCE_DIR})
    if(NOT EXISTS ${dir}/qcustomplot.cpp OR NOT EXISTS ${dir}/qcustomplot.h)
        message(FATAL_ERROR "ZEP8_QCUSTOMPLOT_SOURCE_DIR: no qcustomplot.cpp and qcustomplot.h in ${dir}")
    endif()
    add_library(qcustomplot STATIC ${dir}/qcustomplot.cpp ${dir}/qcustomplot.h)
    set_target_properties(qcustomplot PROPERTIES AUTOMOC ON)
    # Not our code: its warnings are not ours to fix.
    target_compile_options(qcustomplot PRIVATE -w)
    target_include_directories(qcustomplot SYSTEM PUBLIC ${dir})
    target_link_libraries(qcustomplot PUBLIC Qt6::Widgets)
    if(TARGET Qt6::PrintSupport)
        target_link_libraries(qcustomplot PUBLIC Qt6::PrintSupport)
    else()
        set(stub ${CMAKE_CURRENT_BINARY_DIR}/qcustomplot_no_print)
        file(CONFIGURE OUTPUT ${stub}/QtPrintSupport/QtPrintSupport CONTENT
             "// Qt without print support: QCustomPlot leaves out its PDF export.\n#define QT_NO_PRINTER\n")
        target_include_directories(qcustomplot SYSTEM PUBLIC ${stub})
    endif()
else()
    # Debian's CMake file for it names the Qt 5 build: the Qt 6 one is taken by name.
    find_library(ZEP8_QCUSTOMPLOT_LIBRARY NAMES QCustomPlotQt6 REQUIRED)
    find_path(ZEP8_QCUSTOMPLOT_INCLUDE_DIR qcustomplot.h REQUIRED)
    add_library(qcustomplot INTERFACE)
    target_include_directories(qcustomplot SYSTEM INTERFACE ${ZEP8_QCUSTOMPLOT_INCLUDE_DIR})
    target_compile_definitions(qcustomplot INTERFACE QCUSTOMPLOT_USE_LIBRARY)
    target_link_libraries(qcustomplot INTERFACE ${ZEP8_QCUSTOMPLOT_LIBRARY} Qt6::Widgets
                          Qt6::PrintSupport)
endif()
