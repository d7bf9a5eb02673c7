# Read by CPack before it makes the ZIP: the time of the commit the package is built from (the time
# git archive gives the files of a source archive, when there is no git), unless the caller set
# SOURCE_DATE_EPOCH. The ZIP's files get it, and the executables' PE header, which strip writes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git -C ${CPACK_VELTRANO_SOURCE_DIR} log -1 --format=%ct
        OUTPUT_VARIABLE epoch RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(failed OR NOT epoch MATCHES "^[0-9]+$")
        file(TIMESTAMP ${CPACK_VELTRANO_SOURCE_DIR}/CMakeLists.txt epoch "%s" UTC)
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
