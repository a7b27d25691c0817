# Assembles a copy of every example with the command-line assembler: examples/demo must
# assemble without a diagnostic, examples/mistakes must fail with its diagnostics.
# Arguments: -DQUBRIX=<path of build/bin/qubrix> -DEXAMPLES=<examples folder> -DWORK=<scratch folder>
file(REMOVE_RECURSE "${WORK}")
file(COPY "${EXAMPLES}/demo" "${EXAMPLES}/mistakes" DESTINATION "${WORK}")

execute_process(COMMAND "${QUBRIX}" --lang en main.src WORKING_DIRECTORY "${WORK}/demo"
                RESULT_VARIABLE status ERROR_VARIABLE diagnostics)
if(NOT status EQUAL 0 OR NOT diagnostics STREQUAL "")
  message(FATAL_ERROR "examples/demo does not assemble cleanly (${status}):\n${diagnostics}")
endif()
foreach(output main.abs main.lis message.txt)
  if(NOT EXISTS "${WORK}/demo/${output}")
    message(FATAL_ERROR "examples/demo produced no ${output}")
  endif()
endforeach()

execute_process(COMMAND "${QUBRIX}" --lang en mistakes.src WORKING_DIRECTORY "${WORK}/mistakes"
                RESULT_VARIABLE status ERROR_VARIABLE diagnostics)
string(REGEX MATCHALL "[^\n]+\n" lines "${diagnostics}")
list(LENGTH lines count)
if(NOT status EQUAL 1 OR NOT count EQUAL 10)
  message(FATAL_ERROR "examples/mistakes should give 10 diagnostics and status 1, got ${count} and ${status}:\n${diagnostics}")
endif()
