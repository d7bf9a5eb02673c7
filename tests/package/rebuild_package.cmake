# Builds the package again from scratch in folder SECOND, with only what it needs, and checks that
# both executables, the ZIP and the installer are the same bytes as those in build folder FIRST.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${SECOND})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${SECOND} -G ${GENERATOR} --toolchain ${TOOLCHAIN}
                        -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DVELTRANO_TESTS=OFF
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${SECOND} --target package -j2 OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
foreach(file IN ITEMS _CPack_Packages/win64/ZIP/${TOP}/Veltrano.exe _CPack_Packages/win64/ZIP/${TOP}/VeltranoDemo.exe
                      ${TOP}.zip ${TOP}-setup.exe)
    file(SHA256 ${FIRST}/${file} first)
    file(SHA256 ${SECOND}/${file} second)
    if(NOT first STREQUAL second)
        message(SEND_ERROR "${file} differs when built again: ${first} and ${second} in ${SECOND}")
        set(differs TRUE)
    endif()
endforeach()
if(NOT differs)
    file(REMOVE_RECURSE ${SECOND})
endif()
