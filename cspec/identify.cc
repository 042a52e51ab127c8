#include "cspec/identify.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "cspec/devnum.h"
#include "cspec/serial.h"
#include "cspec/state.h"

namespace {

constexpr VendorRow kVendorTable[] = {
    {"MYLEX", 5, nullptr, "Skipping device info for MYLEX device\n"},
    {"SYMBIOS", 7, get_serial_symbios, "Obtaining device info (SYMBIOS):\n"},
    {"EMC     ", 8, get_serial_emc, "Obtaining device info (EMC):\n"},
    {"HP ", 3, get_serial_hp, "Obtaining device info (HP):\n"},
    {"", 0, get_serial_default, "Obtaining device info (default):\n"},
};

// An INQUIRY text field of at most size characters, stopping at a NUL.
struct Field {
  char text[17];
};

Field copy_field(const unsigned char* inquiry, size_t offset, size_t size) {
  Field field;
  const char* from = reinterpret_cast<const char*>(inquiry + offset);
  size_t n = strnlen(from, size);
  memcpy(field.text, from, n);
  field.text[n] = '\0';
  return field;
}

}  // namespace

const VendorRow& match_vendor(const char* vendor) {
  for (const VendorRow& row : kVendorTable) {
    if (strncmp(vendor, row.prefix, row.length) == 0) return row;
  }
  return kVendorTable[sizeof kVendorTable / sizeof kVendorTable[0] - 1];
}

void obtain_device_info(uint32_t dev, int fd, const unsigned char* inquiry) {
  Field vendor = copy_field(inquiry, 8, 8);
  Field product = copy_field(inquiry, 16, 16);
  Field revision = copy_field(inquiry, 32, 4);
  const VendorRow& row = match_vendor(vendor.text);
  debug("%s", row.debug_line);
  if (row.reader == nullptr) return;
  char serial[kSerialSize];
  if (row.reader(fd, serial) != 0) {
    fprintf(stderr,
            "qv_cspec: unable to obtain serial number for device c%s "
            "(Vendor ID <%s>)\n",
            device_name(dev).c_str(), vendor.text);
    return;
  }
  if (device_info_fp == nullptr) return;
  std::string adapter = adapter_name(dev);
  std::string device = device_name(dev);
  fprintf(device_info_fp, "c%s\001c%s\001%s\001%s\001%s\001%s\n",
          adapter.c_str(), device.c_str(), vendor.text, product.text,
          revision.text, serial);
  debug("c%s:c%s:%s:%s:%s:%s\n", adapter.c_str(), device.c_str(), vendor.text,
        product.text, revision.text, serial);
}
