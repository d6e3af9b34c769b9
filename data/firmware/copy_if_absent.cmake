# cmake -DSOURCE=<file> -DTARGET=<file> -P copy_if_absent.cmake
# Places a default file; one that already exists belongs to the user and stays as it is.
if(NOT EXISTS "${TARGET}")
    configure_file("${SOURCE}" "${TARGET}" COPYONLY)
endif()
