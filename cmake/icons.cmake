# The window's images as PNG, rendered from their SVG sources on the build
# machine, so that no system needs an SVG renderer at run time: each image at
# its own size as NAME.png and at twice that as NAME@2x.png (QIcon takes the
# latter on a high-DPI screen), or at the sizes asked as NAME-N.png. They are
# listed in a resource file generated beside them and compiled into a target.
find_program(ZEP8_RSVG_CONVERT rsvg-convert REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core)

function(zep8_render_svg svg png)  # ARGN: rsvg-convert's options of size
    add_custom_command(OUTPUT ${png}
        COMMAND ${ZEP8_RSVG_CONVERT} ${ARGN} -o ${png} ${svg}
        DEPENDS ${svg}
        VERBATIM)
endfunction()

# zep8_icon_resource(TARGET NAME PREFIX PREFIX [FOLDER ROOM] SVGS file... [SIZES N...])
# makes the resource NAME (Q_INIT_RESOURCE(NAME) in a static library), its
# images under :PREFIX/icons/. FOLDER is the room of the code that loads it:
# the resource file, its images and its source are made in that room's build
# folder.
function(zep8_icon_resource target name)
    cmake_parse_arguments(arg "" "PREFIX;FOLDER" "SVGS;SIZES" ${ARGN})
    set(room ${CMAKE_CURRENT_BINARY_DIR})
    if(arg_FOLDER)
        set(room ${CMAKE_CURRENT_BINARY_DIR}/${arg_FOLDER})
    endif()
    set(folder ${room}/${name})
    set(pngs "")
    foreach(svg ${arg_SVGS})
        get_filename_component(base ${svg} NAME_WE)
        if(arg_SIZES)
            foreach(size ${arg_SIZES})
                zep8_render_svg(${svg} ${folder}/${base}-${size}.png -w ${size} -h ${size})
                list(APPEND pngs ${base}-${size}.png)
            endforeach()
        else()
            zep8_render_svg(${svg} ${folder}/${base}.png -z 1)
            zep8_render_svg(${svg} ${folder}/${base}@2x.png -z 2)
            list(APPEND pngs ${base}.png ${base}@2x.png)
        endif()
    endforeach()
    set(entries "")
    set(outputs "")
    foreach(png ${pngs})
        string(APPEND entries "        <file alias=\"icons/${png}\">${name}/${png}</file>\n")
        list(APPEND outputs ${folder}/${png})
    endforeach()
    # Written only when its text changes, so that a new configure rebuilds nothing.
    set(qrc ${room}/${name}.qrc)
    file(CONFIGURE OUTPUT ${qrc} CONTENT
"<!DOCTYPE RCC>
<RCC version=\"1.0\">
    <qresource prefix=\"${arg_PREFIX}\">
${entries}    </qresource>
</RCC>
")
    # The first resource format holds no file times: the generated source is
    # the same in every clone but for its comments, so the compiler cache
    # serves it too.
    set(source ${room}/qrc_${name}.cpp)
    add_custom_command(OUTPUT ${source}
        COMMAND Qt6::rcc --format-version 1 --no-zstd --name ${name} -o ${source} ${qrc}
        DEPENDS ${qrc} ${outputs} Qt6::rcc
        COMMENT "Compiling the resource ${name}"
        VERBATIM)
    target_sources(${target} PRIVATE ${source})
endfunction()
