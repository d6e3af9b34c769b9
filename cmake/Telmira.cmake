# Helpers shared by the subsystem CMakeLists files.

# Libraries that zel links, in build order; each subsystem appends its own.
set(TELMIRA_ZEL_LIBRARIES "" CACHE INTERNAL "")
function(telmira_zel_library target)
    set(TELMIRA_ZEL_LIBRARIES ${TELMIRA_ZEL_LIBRARIES} ${target} CACHE INTERNAL "")
endfunction()

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
