# qv_cspec in a QEMU guest on emulated SCSI adapters and disks, through the
# Linux backend.  Labelled heavy: one boot under TCG takes a minute or more.
# The kernel and the initramfs are cached in <build>/linux-vm.
if(TARGET qv_cspec AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_test(NAME linux_vm
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/linux_vm_test.sh
      $<TARGET_FILE:qv_cspec> ${PROJECT_BINARY_DIR}/linux-vm
      ${PROJECT_SOURCE_DIR}/examples/mdevice.linux)
  set_tests_properties(linux_vm PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 1200 LABELS heavy)
endif()
