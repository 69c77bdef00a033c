# Fails unless the library's dynamic symbol table defines exactly the six
# functions. Run as: cmake -DNM=<nm> -DLIBRARY=<libStenik32.so> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
  string(REGEX MATCH "[^ ]+$" name "${line}")
  list(APPEND exported ${name})
endforeach()
list(SORT exported)
set(expected Round Round2 Round3 URLEnc_Decode URLEnc_Encode URLEnc_EncodeEx)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()
