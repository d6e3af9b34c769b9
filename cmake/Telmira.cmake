# Helpers shared by the subsystem CMakeLists files.

# Copies data files into the work directory at build time.
#   telmira_work_files(<target> DEST <relative dir> FILES <files...>)
function(telmira_work_files target)
    cmake_parse_arguments(ARG "" "DEST" "FILES" ${ARGN})
    set(outputs "")
    foreach(file ${ARG_FILES})
        get_filename_component(name ${file} NAME)
        set(out ${TELMIRA_WORK_DIR}/${ARG_DEST}/${name})
        add_custom_command(OUTPUT ${out}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${out}
            DEPENDS ${file} VERBATIM)
        list(APPEND outputs ${out})
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
