# libls's readers of outside text: the name-server registry (registry) and
# the net-alias split with the parameter-value check (netalias).  The
# fuzz build instruments every library (fuzz/run.sh), so linking the
# object library is enough.
qv_add_fuzzer(registry SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ls_registry_fuzz.cc
              LIBS ls_objects)
qv_add_fuzzer(netalias SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ls_netalias_fuzz.cc
              LIBS ls_objects)
