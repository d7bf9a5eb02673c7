# Checks the release package and the installer beside it against their checksum files, unpacks
# the package into a fresh folder as a user would, checks that it holds what it should, and plants
# the marked DLLs beside the executables.
#   cmake -DPACKAGE=.../Veltrano-1.0.0.1-win64.zip -DFOLDER=... "-DPLANTED=a/hid.dll;..." -P unpack_package.cmake
cmake_minimum_required(VERSION 3.25)
get_filename_component(name ${PACKAGE} NAME)
string(REGEX REPLACE "\\.zip$" "" top ${name})

get_filename_component(dir ${PACKAGE} DIRECTORY)
foreach(file IN ITEMS ${PACKAGE} ${dir}/${top}-setup.exe)
    get_filename_component(file_name ${file} NAME)
    if(NOT EXISTS ${file}.sha256)
        message(FATAL_ERROR "no checksum file beside ${file}")
    endif()
    file(READ ${file}.sha256 checksum_line)
    file(SHA256 ${file} checksum)
    if(NOT checksum_line STREQUAL "${checksum}  ${file_name}\n")
        message(FATAL_ERROR "${file_name}.sha256 reads '${checksum_line}', the file's SHA-256 is ${checksum}")
    endif()
endforeach()

file(REMOVE_RECURSE ${FOLDER})
file(MAKE_DIRECTORY ${FOLDER})
file(ARCHIVE_EXTRACT INPUT ${PACKAGE} DESTINATION ${FOLDER})
file(GLOB_RECURSE unpacked LIST_DIRECTORIES false RELATIVE ${FOLDER} ${FOLDER}/*)
list(SORT unpacked)
set(expected ${top}/70-veltrano-converter.rules ${top}/LICENSE ${top}/README.txt ${top}/THIRD-PARTY-NOTICES.txt
             ${top}/Veltrano.exe ${top}/VeltranoDemo.exe)
if(NOT unpacked STREQUAL expected)
    message(FATAL_ERROR "${name} holds '${unpacked}', not '${expected}'")
endif()
file(READ ${FOLDER}/${top}/THIRD-PARTY-NOTICES.txt notices)
if(NOT notices MATCHES "winpthreads.*GCC RUNTIME LIBRARY EXCEPTION.*GNU GENERAL PUBLIC LICENSE")
    message(FATAL_ERROR "THIRD-PARTY-NOTICES.txt names not winpthreads, libgcc's exception and its GPL")
endif()

file(COPY ${PLANTED} DESTINATION ${FOLDER}/${top})
message(STATUS "${name} matches its checksum; unpacked into ${FOLDER}/${top} beside planted ${PLANTED}")
