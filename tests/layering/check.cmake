# check.cmake - builds one layering probe and checks the outcome.
#   cmake -DBINARY_DIR=... -DTARGET=... -DHEADER=... -P check.cmake   the include of HEADER must fail
#   cmake -DBINARY_DIR=... -DTARGET=... -P check.cmake                the probe must build
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --target ${TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT DEFINED HEADER)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${TARGET} should build:\n${output}")
    endif()
    message(STATUS "${TARGET} builds")
    return()
endif()
string(REPLACE "." "\\." header_pattern "${HEADER}")
if(result EQUAL 0)
    message(FATAL_ERROR "${TARGET} built, but its include of ${HEADER} should have failed")
elseif(NOT output MATCHES "${header_pattern}: No such file|'${header_pattern}' file not found")
    message(FATAL_ERROR "${TARGET} failed, but not for want of ${HEADER}:\n${output}")
endif()
message(STATUS "${TARGET}: ${HEADER} is out of reach, as it should be")
