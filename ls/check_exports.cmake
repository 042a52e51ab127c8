# cmake -DLIBRARY=<libls.so> -DEXPECTED=<exports.txt> -P check_exports.cmake
# Fails unless the library defines exactly the expected dynamic symbols
# (the loader's and toolchain's own housekeeping names aside).
execute_process(COMMAND nm -D --defined-only --format=posix ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(found "")
foreach(line ${lines})
  string(REGEX MATCH "^[^ ]+" name "${line}")
  if(name AND NOT name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$")
    list(APPEND found ${name})
  endif()
endforeach()
list(SORT found)
file(STRINGS ${EXPECTED} expected)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
