# GoogleTest from the source that Debian installs (/usr/src/googletest), built with whichever
# compiler this tree uses, so that the MinGW build gets a matching copy.
set(VELTRANO_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${VELTRANO_GTEST_SOURCE}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest source not found at ${VELTRANO_GTEST_SOURCE}; run scripts/install-deps.sh")
endif()
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${VELTRANO_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
