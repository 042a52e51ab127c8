// What a simulated device answers to INQUIRY: its standard data and its
// serial-number pages, built from its fabric line.
//
// Standard data: byte 0 the peripheral device type (qualifier 0), byte 2
// version 2, byte 3 response data format 2, byte 4 the additional length,
// bytes 8-15 vendor, 16-31 product, 32-35 revision, each padded with blanks.
// Disks and other devices have 36 bytes; host adapters 56, bytes 36-55
// being their vendor-specific area.  Adapters name themselves "SIMSCSI",
// "HOST ADAPTER", "1.0".
//
// Serial-number pages: 80h holds the serial from byte 4, E0h from byte 18
// (bytes 4-17 zero); byte 1 is the page code and byte 3 the page length.
// Every device has both; without serial= the serial is empty.

#ifndef RUDED_PLATFORM_SCSI_INQUIRY_DATA_H_
#define RUDED_PLATFORM_SCSI_INQUIRY_DATA_H_

#include <stdint.h>

#include <array>
#include <string>

#include "platform/scsi/fabric.h"

namespace scsi {

constexpr size_t kStandardInquiryLength = 36;
constexpr size_t kProcessorInquiryLength = 56;
constexpr int kSerialPage = 0x80;
constexpr int kVendorSerialPage = 0xE0;

// A device's answer: length bytes are valid, the rest are zero.
struct Reply {
  std::array<uint8_t, 256> bytes{};
  size_t length = 0;
};

// Standard INQUIRY data of device; area fills bytes 36-55 of an adapter's.
Reply StandardInquiry(const Device& device, const VendorArea& area);

// The 56 bytes of a host adapter that names itself so: type 3, the fields
// padded as above, area as bytes 36-55.
Reply AdapterInquiry(const std::string& vendor, const std::string& product,
                     const std::string& revision, const VendorArea& area);

// Fixed-format sense data (18 bytes) into sense, as a driver leaves it
// after a check condition: response code 70h, the sense key, the
// additional sense code and its qualifier.
void FillSense(unsigned char* sense, uint8_t key, uint8_t code,
               uint8_t qualifier = 0);

// The page 80h or E0h of device.  Returns false, leaving *reply alone, for
// any other page.
bool SerialPage(const Device& device, int page, Reply* reply);

// An area as a machine reads it: "c<owner adapter>:<node name>" when the
// magic byte is set, else "uninitialized".  The node name ends at the first
// NUL or after 17 bytes; bytes outside printable ASCII show as \ooo.
std::string DescribeArea(const VendorArea& area);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_INQUIRY_DATA_H_
