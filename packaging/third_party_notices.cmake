# Writes THIRD-PARTY-NOTICES.txt: what Veltrano.exe and VeltranoDemo.exe carry from elsewhere (the
# runtime libraries they link statically), each with the copyright file of the Debian package the
# library came from in this build, and the GNU GPL version 3, which the GCC Runtime Library
# Exception in GCC's file refers to.
#   cmake -DCOMPILER=<x86_64-w64-mingw32-g++-posix> -DOUTPUT=<...> -P third_party_notices.cmake
cmake_minimum_required(VERSION 3.25)

# What each runtime library is, by the file the compiler links.
set(libraries crt2.o libwinpthread.a libstdc++.a libgcc.a libgcc_eh.a)
set(crt2.o "the MinGW-w64 runtime (start-up code and C runtime support)")
set(libwinpthread.a "winpthreads, the POSIX threads library of the MinGW-w64 runtime")
set(libstdc++.a "libstdc++, the C++ standard library of GCC, under the GCC Runtime Library Exception")
set(libgcc.a "libgcc, the support library of GCC, under the GCC Runtime Library Exception")
set(libgcc_eh.a "libgcc_eh, the exception handling support of GCC, under the GCC Runtime Library Exception")

set(packages "")
set(lines "")
foreach(library IN LISTS libraries)
    execute_process(COMMAND ${COMPILER} -print-file-name=${library}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    file(REAL_PATH ${path} path)
    execute_process(COMMAND dpkg-query -S ${path}
        OUTPUT_VARIABLE owner RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(failed)
        message(FATAL_ERROR "${path} (${library}) belongs to no Debian package: its licence is unknown")
    endif()
    string(REGEX REPLACE ":.*" "" package "${owner}")
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${package}
        OUTPUT_VARIABLE version COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND lines "  - ${${library}}\n    (${library}; Debian package ${package} ${version})\n")
    # Packages built from one source share a copyright file.
    file(REAL_PATH /usr/share/doc/${package}/copyright copyright)
    if(NOT copyright IN_LIST packages)
        list(APPEND packages ${copyright})
        set(package_of_${copyright} ${package})
    endif()
endforeach()

set(text "Third-party notices
===================

Veltrano.exe and VeltranoDemo.exe are linked statically with these runtime libraries, which
the build took from Debian's MinGW-w64 cross compiler:

${lines}
Below follow the copyright files of those Debian packages, whole, with the copyright notices
and licences of the libraries, and then the GNU General Public License version 3, to which
the GCC Runtime Library Exception is an additional permission.
")
foreach(copyright IN LISTS packages)
    file(READ ${copyright} content)
    string(APPEND text "\n\n==== ${package_of_${copyright}}: ${copyright}\n\n${content}")
endforeach()
file(READ /usr/share/common-licenses/GPL-3 content)
string(APPEND text "\n\n==== /usr/share/common-licenses/GPL-3\n\n${content}")
# As Windows editors expect text files.
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
