# Runs one fuzz target over its committed seeds for CTest:
#   cmake -DFUZZER=... -DSEEDS=... -DSCRATCH=... -DRUNS=... -DSECONDS=... -DSEED=... [-DDICTIONARY=...]
#         -P run_fuzzer.cmake
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
if(DICTIONARY)
    list(APPEND arguments -dict=${DICTIONARY})
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
