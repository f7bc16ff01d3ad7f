# Makes the text pandoc renders from the guide's source:
# - fails when the guide names a picture that is not there, so a renamed or
#   dropped screenshot cannot leave a hole in the page;
# - puts the batch command's own --help in place of the copy in the block
#   marked {#batch-help}, so the page lists the options the program has.
#   cmake -DGUIDE=使用说明.md -DGUIDE_DIR=<page's folder> -DBATCH=<tabrovin-batch>
#         -DOUT=<text for pandoc> -P prepare_guide.cmake
file(READ "${GUIDE}" text)

string(REGEX MATCHALL "!\\[[^]]*\\]\\([^)]+\\)" images "${text}")
if(NOT images)
    message(FATAL_ERROR "${GUIDE} names no pictures")
endif()
foreach(image IN LISTS images)
    string(REGEX REPLACE "^!\\[[^]]*\\]\\(([^) ]+).*$" "\\1" path "${image}")
    if(NOT EXISTS "${GUIDE_DIR}/${path}")
        message(FATAL_ERROR "${GUIDE} names the picture ${path}, which was not made "
                            "(scripts/screenshots.sh makes the pictures the guide may name)")
    endif()
endforeach()

execute_process(COMMAND "${BATCH}" --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${BATCH} --help failed: ${failed}")
endif()
set(opening "``` {#batch-help}\n")
string(FIND "${text}" "${opening}" start)
if(start EQUAL -1)
    message(FATAL_ERROR "${GUIDE} has no block marked {#batch-help} for the batch command's help")
endif()
string(LENGTH "${opening}" length)
math(EXPR body "${start} + ${length}")
string(SUBSTRING "${text}" ${body} -1 rest)
string(FIND "${rest}" "\n```\n" close)
if(close EQUAL -1)
    message(FATAL_ERROR "${GUIDE}: the {#batch-help} block is not closed")
endif()
string(SUBSTRING "${text}" 0 ${body} before)
math(EXPR after "${close} + 1")
string(SUBSTRING "${rest}" ${after} -1 rest)
file(WRITE "${OUT}" "${before}${help}${rest}")
