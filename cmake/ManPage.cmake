# Makes the manual page copycheck-cli(1) from the built program's --help, so the page follows
# the options as they change; checks that man renders it without a warning. Run with -P:
#   -DCLI=program -DINCLUDE=file.h2m -DFIXUPS=file.sed -DCHANGELOG=file -DOUTPUT=page.1
foreach(var CLI INCLUDE FIXUPS CHANGELOG OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ManPage.cmake needs -D${var}=...")
    endif()
endforeach()

# The page's date is the newest changelog entry's, not the build's, so builds repeat.
execute_process(COMMAND dpkg-parsechangelog -l ${CHANGELOG} -S Timestamp
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch} LC_ALL=C.UTF-8
        help2man --no-info --section=1 --include=${INCLUDE}
        "--name=confirm that a directory tree was copied correctly"
        --output=${OUTPUT}.raw ${CLI}
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND sed -E -f ${FIXUPS} ${OUTPUT}.raw
    OUTPUT_FILE ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${OUTPUT}.raw)

execute_process(
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l ${OUTPUT}
    OUTPUT_FILE ${OUTPUT}.txt ERROR_VARIABLE warnings RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "man --warnings -l ${OUTPUT} (status ${status}):\n${warnings}")
endif()

# Debian installs manual pages compressed, without a time stamp in the gzip header.
execute_process(COMMAND gzip -9n -c ${OUTPUT} OUTPUT_FILE ${OUTPUT}.gz COMMAND_ERROR_IS_FATAL ANY)
