# Compiler settings for the project's own targets (third-party code is built without them).

function(veltrano_target_options target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX /permissive-)
        target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
    else()
        target_compile_options(${target} PRIVATE
            -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
            -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
            -Wimplicit-fallthrough -Werror)
    endif()
    target_compile_features(${target} PUBLIC cxx_std_20)
endfunction()

if(VELTRANO_SANITIZE AND NOT WIN32)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32 AND NOT MSVC)
    # A self-contained executable: no MinGW runtime DLLs beside it.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # The same source gives the same executables wherever and whenever it is built: the linker
    # writes no time stamp, and no path of the build machine goes in (__FILE__, debug info).
    add_link_options(-Wl,--no-insert-timestamp)
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.;-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
