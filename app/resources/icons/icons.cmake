# Generates icon107.ico and icon108.ico into ${VELTRANO_ICON_DIR} (add it to the .rc include path; the .rc compile depends on target veltrano_icons and ${VELTRANO_ICON_FILES}).
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(VELTRANO_ICON_DIR "${CMAKE_CURRENT_BINARY_DIR}/icons")
set(VELTRANO_ICON_FILES
    "${VELTRANO_ICON_DIR}/icon107.ico"
    "${VELTRANO_ICON_DIR}/icon108.ico")

add_custom_command(
    OUTPUT ${VELTRANO_ICON_FILES}
    COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/make_icons.py" "${VELTRANO_ICON_DIR}"
    DEPENDS
        "${CMAKE_CURRENT_LIST_DIR}/make_icons.py"
        "${CMAKE_CURRENT_LIST_DIR}/icon107_32x32_4bpp.txt"
        "${CMAKE_CURRENT_LIST_DIR}/icon107_16x16_1bpp.txt"
        "${CMAKE_CURRENT_LIST_DIR}/icon108_16x16_4bpp.txt"
    COMMENT "Generating application icons"
    VERBATIM)

add_custom_target(veltrano_icons DEPENDS ${VELTRANO_ICON_FILES})
# For the installer, made in another folder: the program's icon.
set_target_properties(veltrano_icons PROPERTIES VELTRANO_FILES "${VELTRANO_ICON_FILES}")
