# Veltrano.exe and VeltranoDemo.exe take every DLL from the system folder, never from their own.
#
# The system resolves an executable's direct imports before its entry point runs, searching the
# executable's own folder first for any DLL that is not one of Windows' known DLLs (those it maps
# from the system folder only). So the executables import directly only from known DLLs; every
# other DLL they use is delay-loaded: loaded at the first call into it, after the entry point's
# first call, RestrictDllSearchToSystemFolder, has limited the search to the system folder.
#
# The delay-import libraries are made from MinGW's import libraries and carry their names, in a
# folder that these two executables search first: `-lhid` then links HID.DLL delay-loaded.

# Known DLLs on every Windows the program runs on: the only ones imported directly.
set(VELTRANO_DIRECT_IMPORTS kernel32.dll user32.dll gdi32.dll msvcrt.dll)
# Windows' own DLLs that are not known DLLs, or not on every release: delay-loaded.
set(VELTRANO_DELAY_LOADED hid setupapi comctl32)

set(VELTRANO_DELAY_IMPORT_DIR ${CMAKE_BINARY_DIR}/delay-imports)
set(VELTRANO_DELAY_IMPORT_LIBS "")
file(MAKE_DIRECTORY ${VELTRANO_DELAY_IMPORT_DIR})
foreach(name IN LISTS VELTRANO_DELAY_LOADED)
    find_library(VELTRANO_IMPORT_LIB_${name} NAMES lib${name}.a REQUIRED NO_CACHE)
    set(def ${VELTRANO_DELAY_IMPORT_DIR}/${name}.def)
    set(lib ${VELTRANO_DELAY_IMPORT_DIR}/lib${name}.a)
    add_custom_command(OUTPUT ${lib}
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIMPORT_LIB=${VELTRANO_IMPORT_LIB_${name}} -DDLL=${name}.dll
                -DDEF=${def} -P ${CMAKE_CURRENT_LIST_DIR}/delay_import_def.cmake
        # Made in its folder: the symbols dlltool names after it hold no path of the build machine.
        COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${name}.dll --output-delaylib lib${name}.a
        WORKING_DIRECTORY ${VELTRANO_DELAY_IMPORT_DIR}
        DEPENDS ${VELTRANO_IMPORT_LIB_${name}} ${CMAKE_CURRENT_LIST_DIR}/delay_import_def.cmake
        COMMENT "Delay-import library for ${name}.dll"
        VERBATIM)
    list(APPEND VELTRANO_DELAY_IMPORT_LIBS ${lib})
endforeach()
add_custom_target(veltrano_delay_imports DEPENDS ${VELTRANO_DELAY_IMPORT_LIBS})
# For the function below, which may be called from any folder.
set_target_properties(veltrano_delay_imports PROPERTIES
    VELTRANO_DIR ${VELTRANO_DELAY_IMPORT_DIR}
    VELTRANO_LIBS "${VELTRANO_DELAY_IMPORT_LIBS}"
    VELTRANO_DIRECT_IMPORTS "${VELTRANO_DIRECT_IMPORTS}")

# Call it for each executable: its entry point must call RestrictDllSearchToSystemFolder first.
function(veltrano_take_dlls_from_system_folder target)
    get_target_property(dir veltrano_delay_imports VELTRANO_DIR)
    get_target_property(libs veltrano_delay_imports VELTRANO_LIBS)
    get_target_property(allowed veltrano_delay_imports VELTRANO_DIRECT_IMPORTS)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/win32/dll_search.cpp)
    # By a path relative to the folder the executable is linked in: the linker orders the import
    # data by the libraries' paths, which would otherwise depend on where the build folder lies.
    file(RELATIVE_PATH dir ${CMAKE_CURRENT_BINARY_DIR} ${dir})
    target_link_options(${target} BEFORE PRIVATE -L${dir})
    add_dependencies(${target} veltrano_delay_imports)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libs})
    # Checked on the built file: a direct import of anything else (a MinGW runtime DLL, or a
    # system DLL that the ordinary search could find beside the executable) fails the build.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DIMAGE=$<TARGET_FILE:${target}> "-DALLOWED=${allowed}"
                -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check_direct_imports.cmake
        VERBATIM)
endfunction()
