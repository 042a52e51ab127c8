# qv_cspec's two readers of outside files: the exclusion list and the
# kernel's mdevice table.
if(TARGET cspec_core)
  qv_add_fuzzer(xlist
    SOURCES ${PROJECT_SOURCE_DIR}/cspec/xlist_fuzz.cc
    LIBS cspec_core)
  qv_add_fuzzer(mdevice
    SOURCES ${PROJECT_SOURCE_DIR}/cspec/mdevice_fuzz.cc
    LIBS cspec_core)
endif()
