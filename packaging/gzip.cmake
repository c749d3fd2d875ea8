# cmake -DIN=FILE -DOUT=FILE.gz -P gzip.cmake: compresses IN into OUT as Debian keeps manual pages
# and changelogs (best compression, no name or time stamp inside), replacing OUT only when done.
execute_process(COMMAND gzip -9nc ${IN} OUTPUT_FILE ${OUT}.part RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUT}.part)
  message(FATAL_ERROR "gzip failed on ${IN}: ${rc}")
endif()
file(RENAME ${OUT}.part ${OUT})
