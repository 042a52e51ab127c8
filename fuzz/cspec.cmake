# qv_cspec's two readers of outside files: the exclusion list and the
# kernel's mdevice table.
qv_add_fuzzer(xlist SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xlist_fuzz.cc
              LIBS cspec_core)
qv_add_fuzzer(mdevice SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mdevice_fuzz.cc
              LIBS cspec_core)
