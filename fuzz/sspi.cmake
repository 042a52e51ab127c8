# libsspi's text readers: the one-pair reader (keyword) and the whole-stream
# reader with a write/read round trip (stream).  The library is compiled
# again with coverage instrumentation, so that the fuzzer sees its branches.
get_target_property(sspi_sources sspi_objects SOURCES)
get_target_property(sspi_dir sspi_objects SOURCE_DIR)
list(TRANSFORM sspi_sources PREPEND "${sspi_dir}/")
add_library(sspi_fuzz_objects OBJECT ${sspi_sources})
target_compile_options(sspi_fuzz_objects PRIVATE -fsanitize=fuzzer-no-link)
target_include_directories(sspi_fuzz_objects PUBLIC
  ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})

qv_add_fuzzer(keyword SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stream_keyword_fuzz.cc
              LIBS sspi_fuzz_objects)
qv_add_fuzzer(stream SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stream_list_fuzz.cc
              LIBS sspi_fuzz_objects)
