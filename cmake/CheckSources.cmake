# CheckSources.cmake - checks every C++ file of the source tree (build trees left out).
#   cmake -DSOURCE_DIR=... -DCLANG_FORMAT=... -P CheckSources.cmake   the formatter would change nothing
#   cmake -DSOURCE_DIR=... -DCHECK=includes -P CheckSources.cmake     no include climbs out with ".."
#                                                                     (it would get round the layers)
file(GLOB entries RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
set(files)
foreach(entry IN LISTS entries)
    if(entry MATCHES "^(build|\\.)" OR NOT IS_DIRECTORY ${SOURCE_DIR}/${entry}
       OR EXISTS ${SOURCE_DIR}/${entry}/CMakeCache.txt)  # a build tree of another name
        continue()
    endif()
    file(GLOB_RECURSE found ${SOURCE_DIR}/${entry}/*.cpp ${SOURCE_DIR}/${entry}/*.h)
    list(APPEND files ${found})
endforeach()
list(SORT files)

if(CHECK STREQUAL "includes")
    set(bad)
    foreach(file IN LISTS files)
        file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][.][.]/")
        if(lines)
            list(APPEND bad "${file}: ${lines}")
        endif()
    endforeach()
    if(bad)
        list(JOIN bad "\n" text)
        message(FATAL_ERROR "includes that climb out of the layers with \"..\":\n${text}")
    endif()
    list(LENGTH files count)
    message(STATUS "${count} files include no \"../\" path")
    return()
endif()

execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "not formatted as .clang-format says; run clang-format -i on these files:\n${output}")
endif()
list(LENGTH files count)
message(STATUS "${count} files formatted")
