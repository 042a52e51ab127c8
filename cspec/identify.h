// Device identification: the device_info line of a direct-access device
// found on a shared bus.
//
// Vendor, product and revision come from the standard INQUIRY data; the
// serial number is read by the reader that the vendor table picks, tried in
// order on the vendor field:
//
//   "MYLEX"      skip the device: no line
//   "SYMBIOS"    get_serial_symbios
//   "EMC     "   get_serial_emc (EMC and five blanks)
//   "HP "        get_serial_hp (HP and one blank)
//   any other    get_serial_default
//
// The line holds six fields separated by the byte 01h (Control-A):
// c<adapter>, c<device name>, vendor, product, revision, serial.

#ifndef RUDED_CSPEC_IDENTIFY_H_
#define RUDED_CSPEC_IDENTIFY_H_

#include <stddef.h>
#include <stdint.h>

// One row of the vendor table.
struct VendorRow {
  const char* prefix;  // compared with the first length characters
  size_t length;
  int (*reader)(int fd, char* serial);  // null: skip the device
  const char* debug_line;
};

// The row of the vendor table that a vendor field (at most 8 characters,
// NUL-terminated) matches; the last row matches every vendor.
const VendorRow& match_vendor(const char* vendor);

// Identifies the device dev behind fd, whose standard INQUIRY data is
// inquiry, and writes its line to device_info_fp (and with -d the same
// fields with colons to standard error).  A serial that cannot be read is
// reported on standard error and costs the device its line.
// REQUIRES: device_info_fp is not null.
void obtain_device_info(uint32_t dev, int fd, const unsigned char* inquiry);

#endif  // RUDED_CSPEC_IDENTIFY_H_
