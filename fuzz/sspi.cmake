# libsspi's text readers: the one-pair reader (keyword) and the whole-stream
# reader with a write/read round trip (stream).
qv_add_fuzzer(keyword SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stream_keyword_fuzz.cc
              LIBS sspi_static)
qv_add_fuzzer(stream SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stream_list_fuzz.cc
              LIBS sspi_static)
