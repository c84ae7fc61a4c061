# velvane_gzip(SOURCE OUTPUT)
# Compresses SOURCE into OUTPUT at configure time, without the name and time stamp gzip would otherwise store, so
# the package's bytes depend on the text alone. Editing SOURCE makes the next build configure again.
function(velvane_gzip source output)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    execute_process(COMMAND gzip -9 -n -c ${source} OUTPUT_FILE ${output} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "cannot compress ${source}")
    endif()
endfunction()
