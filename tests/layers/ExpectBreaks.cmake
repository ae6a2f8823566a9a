# Runs the layer check on TREE and asks for exit status 1 and exactly the
# output in EXPECTED.
execute_process(COMMAND ${CHECK} ${TREE} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
file(READ ${EXPECTED} want)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "exit status ${status}, not 1\n${out}${err}")
endif()
if(NOT out STREQUAL want)
  message(FATAL_ERROR "the check printed\n${out}\ninstead of\n${want}")
endif()
