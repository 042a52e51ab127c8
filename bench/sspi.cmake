# libsspi: building lists, writing and reading their text form, removing
# duplicates; prints the 100k/10k build time ratio and fails above 15.
qv_add_benchmark(sspi_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sspi_bench.cc
                 LIBS sspi)
