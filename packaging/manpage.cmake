# cmake -DTOOL=EXE -DNAME=NAME -DHELP2MAN=PATH -DSEE_ALSO=FILE -DOUT=NAME.1.gz -P manpage.cmake:
# writes a tool's manual page from its --help and --version with help2man. The tool is run
# through a link with its installed name, so the page shows the command a user types, and the
# page's one-line description is the first sentence of the tool's own --help.
get_filename_component(dir ${OUT} DIRECTORY)
set(work ${dir}/${NAME}.run)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(CREATE_LINK ${TOOL} ${work}/${NAME} SYMBOLIC)

execute_process(COMMAND ${work}/${NAME} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NAME} --help failed: ${rc}")
endif()
string(REGEX REPLACE "[ \n]+" " " help "${help} ")
string(FIND "${help}" ". " end)
string(SUBSTRING "${help}" 0 ${end} sentence)
# A manual page's NAME line starts in lower case (oruvane-check - builds a show folder's ...).
string(SUBSTRING "${sentence}" 0 1 first)
string(SUBSTRING "${sentence}" 1 -1 rest)
string(TOLOWER "${first}" first)

set(page ${dir}/${NAME}.1)
execute_process(COMMAND ${HELP2MAN} --no-info "--name=${first}${rest}" --include=${SEE_ALSO} --output=${page}
                        ${work}/${NAME}
                RESULT_VARIABLE rc)
file(REMOVE_RECURSE ${work})
if(NOT rc EQUAL 0)
  file(REMOVE ${page})
  message(FATAL_ERROR "help2man failed on ${NAME}: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -DIN=${page} -DOUT=${OUT} -P ${CMAKE_CURRENT_LIST_DIR}/gzip.cmake
                RESULT_VARIABLE rc)
file(REMOVE ${page})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot compress the manual page of ${NAME}")
endif()
