# cmake -DMAN=<page.1> -DOUT=<page.txt> -P man_to_text.cmake
# The manual page as plain text for Windows: no overstriking, and carriage
# return and line feed at each line end.
find_program(GROFF groff REQUIRED)
execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou -rLL=78n ${MAN}
                OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "groff could not format ${MAN}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
