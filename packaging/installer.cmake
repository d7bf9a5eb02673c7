# Run by CPack once the ZIP is made: makes the ZIP again with its files in a fixed order (CPack
# adds them in the order the file system lists them), then builds the uninstaller, and the
# installer from the files staged for the ZIP and the uninstaller, beside the ZIP and with its
# SHA-256 in a file beside it as the ZIP has.
get_filename_component(staging ${CPACK_TEMPORARY_DIRECTORY} DIRECTORY)
get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} NAME)
file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE ${staging} ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT staged)
list(JOIN staged "\n" staged)
file(WRITE ${staging}/zip-order.txt "${staged}\n")
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
    # The files' times are SOURCE_DATE_EPOCH's, as CPack gave them (source_date_epoch.cmake).
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip --files-from=${staging}/zip-order.txt
        WORKING_DIRECTORY ${staging} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

set(uninstaller ${staging}/Uninstall.exe)
execute_process(
    COMMAND ${CPACK_VELTRANO_MAKENSIS} -V2 -WX -DVERSION=${CPACK_PACKAGE_VERSION} -DICON=${CPACK_VELTRANO_ICON}
            -DOUTFILE=${uninstaller} ${CPACK_VELTRANO_NSIS_UNINSTALL_SCRIPT}
    COMMAND_ERROR_IS_FATAL ANY)
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(zip ${zip} NAME)
    string(REGEX REPLACE "\\.zip$" "-setup.exe" name ${zip})
    set(installer ${CPACK_PACKAGE_DIRECTORY}/${name})
    execute_process(
        COMMAND ${CPACK_VELTRANO_MAKENSIS} -V2 -WX -DVERSION=${CPACK_PACKAGE_VERSION}
                -DFILES=${CPACK_TEMPORARY_DIRECTORY} -DICON=${CPACK_VELTRANO_ICON}
                -DUNINSTALLER=${uninstaller} -DOUTFILE=${installer} ${CPACK_VELTRANO_NSIS_SCRIPT}
        COMMAND_ERROR_IS_FATAL ANY)
    file(SHA256 ${installer} checksum)
    file(WRITE ${installer}.sha256 "${checksum}  ${name}\n")
    message(STATUS "Installer ${installer} generated.")
endforeach()
