# libls's readers of outside text: the name-server registry and the
# net-alias split, each input taken as both.  The fuzz build instruments every library (fuzz/run.sh), so
# linking the object library is enough.
qv_add_fuzzer(ls SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ls_fuzz.cc LIBS ls_objects)
