# libls where work grows with its input: the registry read with many
# servers, and a browse that turns many aliases into net aliases.
qv_add_benchmark(ls_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ls_bench.cc
                 LIBS ls_objects)
