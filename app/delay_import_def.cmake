# Writes the module-definition file of a system DLL from MinGW's import library for it: every
# function that the import library offers, under the DLL's name. With STUB, every function is
# exported as that one function instead (for a stand-in DLL of the same name).
#   cmake -DNM=... -DIMPORT_LIB=libhid.a -DDLL=hid.dll -DDEF=hid.def [-DSTUB=Name] -P delay_import_def.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${NM} -g --defined-only ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot list the symbols of ${IMPORT_LIB}")
endif()
# Each function has its import slot (I __imp_Name) and a thunk (T Name); data has no thunk and
# cannot be delay-loaded.
string(REGEX MATCHALL "[\r\n][0-9a-f]+ T [A-Za-z_][A-Za-z0-9_@]*" thunks "\n${symbols}")
string(REGEX MATCHALL "[\r\n][0-9a-f]+ I __imp_[A-Za-z_][A-Za-z0-9_@]*" slots "\n${symbols}")
set(slot_names "")
foreach(slot IN LISTS slots)
    string(REGEX REPLACE ".* I __imp_" "" name "${slot}")
    list(APPEND slot_names "${name}")
endforeach()
set(exports "")
foreach(thunk IN LISTS thunks)
    string(REGEX REPLACE ".* T " "" name "${thunk}")
    if(name IN_LIST slot_names)
        if(STUB)
            string(APPEND exports "    ${name}=${STUB}\n")
        else()
            string(APPEND exports "    ${name}\n")
        endif()
    endif()
endforeach()
if(exports STREQUAL "")
    message(FATAL_ERROR "${IMPORT_LIB} offers no functions")
endif()
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n${exports}")
