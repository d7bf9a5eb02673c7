# Runs one fuzz target over its committed seeds for CTest:
#   cmake -DFUZZER=... -DSEEDS=... -DSCRATCH=... -DRUNS=... -DSECONDS=... -DSEED=... [-DOPTIONS_FILE=...]
#         -P run_fuzzer.cmake
# OPTIONS_FILE, when it exists, holds more libFuzzer options, one a line (long_run.sh reads it too).
# libFuzzer writes new inputs into the first corpus folder it is given, so that is a fresh scratch
# folder in the build tree, and the seeds come second, read only. Crash inputs go to the scratch
# folder as well.

foreach(variable FUZZER SEEDS SCRATCH RUNS SECONDS SEED)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "run_fuzzer.cmake: ${variable} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/found ${SCRATCH}/crashes)
file(GLOB_RECURSE seedsBefore LIST_DIRECTORIES true ${SEEDS}/*)

set(arguments -runs=${RUNS} -max_total_time=${SECONDS} -seed=${SEED} -print_final_stats=1
    -artifact_prefix=${SCRATCH}/crashes/)
if(DEFINED OPTIONS_FILE AND EXISTS ${OPTIONS_FILE})
    file(STRINGS ${OPTIONS_FILE} options REGEX "^-")
    get_filename_component(optionsFolder ${OPTIONS_FILE} DIRECTORY)
    # A dictionary is named relative to the options file.
    list(TRANSFORM options REPLACE "^-dict=([^/].*)$" "-dict=${optionsFolder}/\\1")
    list(APPEND arguments ${options})
endif()

execute_process(COMMAND ${FUZZER} ${arguments} ${SCRATCH}/found ${SEEDS}
    WORKING_DIRECTORY ${SCRATCH}
    RESULT_VARIABLE result)

file(GLOB_RECURSE seedsAfter LIST_DIRECTORIES true ${SEEDS}/*)
if(NOT seedsBefore STREQUAL seedsAfter)
    message(FATAL_ERROR "the run changed the committed seeds in ${SEEDS}")
endif()
if(NOT result EQUAL 0)
    file(GLOB crashes ${SCRATCH}/crashes/*)
    message(FATAL_ERROR "${FUZZER} failed (${result}); its input: ${crashes}")
endif()
