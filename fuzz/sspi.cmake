# libsspi's text readers: the one-pair reader and the whole-stream reader
# over the same bytes, with a write/read round trip.
qv_add_fuzzer(stream SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stream_fuzz.cc
              LIBS sspi_static)
