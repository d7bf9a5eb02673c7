# Run by CPack once the ZIP is made: builds the installer from the files staged for the ZIP, beside
# it and with its SHA-256 in a file beside it as the ZIP has.
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(zip ${zip} NAME)
    string(REGEX REPLACE "\\.zip$" "-setup.exe" name ${zip})
    set(installer ${CPACK_PACKAGE_DIRECTORY}/${name})
    execute_process(
        COMMAND ${CPACK_VELTRANO_MAKENSIS} -V2 -WX -DVERSION=${CPACK_PACKAGE_VERSION}
                -DFILES=${CPACK_TEMPORARY_DIRECTORY} -DICON=${CPACK_VELTRANO_ICON}
                -DOUTFILE=${installer} ${CPACK_VELTRANO_NSIS_SCRIPT}
        COMMAND_ERROR_IS_FATAL ANY)
    file(SHA256 ${installer} checksum)
    file(WRITE ${installer}.sha256 "${checksum}  ${name}\n")
    message(STATUS "Installer ${installer} generated.")
endforeach()
