# Fails the build when an executable imports directly from a DLL outside the allowed list.
#   cmake -DOBJDUMP=... -DIMAGE=Veltrano.exe "-DALLOWED=kernel32.dll;user32.dll" -P check_direct_imports.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${IMAGE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot read the imports of ${IMAGE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
    message(FATAL_ERROR "${IMAGE} has no import table")
endif()
foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" name "${import}")
    string(TOLOWER "${name}" name)
    if(NOT name IN_LIST ALLOWED)
        message(FATAL_ERROR "${IMAGE} imports ${name} at start-up. Only Windows' known DLLs may be "
                            "imported directly (${ALLOWED}); delay-load any other system DLL "
                            "(app/dll_search.cmake), and link no runtime DLL.")
    endif()
endforeach()
