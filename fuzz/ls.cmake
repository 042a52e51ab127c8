# libls's readers of outside text: the name-server registry (registry) and
# the net-alias split with the shell-line word checks (netalias).  The
# library is compiled again with coverage instrumentation.
if(TARGET ls_objects)
  get_target_property(ls_sources ls_objects SOURCES)
  get_target_property(ls_dir ls_objects SOURCE_DIR)
  list(TRANSFORM ls_sources PREPEND "${ls_dir}/")
  add_library(ls_fuzz_objects OBJECT ${ls_sources})
  target_compile_options(ls_fuzz_objects PRIVATE -fsanitize=fuzzer-no-link)
  target_include_directories(ls_fuzz_objects PUBLIC
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR})
  target_link_libraries(ls_fuzz_objects PUBLIC sspi ot platform_os)

  qv_add_fuzzer(registry SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ls_registry_fuzz.cc
                LIBS ls_fuzz_objects)
  qv_add_fuzzer(netalias SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ls_netalias_fuzz.cc
                LIBS ls_fuzz_objects)
endif()
