#include "platform/scsi/inquiry_data.h"

#include <stdio.h>
#include <string.h>

namespace scsi {
namespace {

void PutPadded(uint8_t* at, size_t width, const std::string& text) {
  memset(at, ' ', width);
  memcpy(at, text.data(), text.size() < width ? text.size() : width);
}

}  // namespace

Reply StandardInquiry(const Device& device, const VendorArea& area) {
  if (device.kind == DeviceKind::kAdapter)
    return AdapterInquiry("SIMSCSI", "HOST ADAPTER", "1.0", area);
  Reply r;
  r.length = kStandardInquiryLength;
  r.bytes[0] = static_cast<uint8_t>(device.type & 0x1F);
  r.bytes[2] = 2;
  r.bytes[3] = 2;
  r.bytes[4] = static_cast<uint8_t>(r.length - 5);
  PutPadded(&r.bytes[8], 8, device.vendor);
  PutPadded(&r.bytes[16], 16, device.product);
  PutPadded(&r.bytes[32], 4, device.revision);
  return r;
}

Reply AdapterInquiry(const std::string& vendor, const std::string& product,
                     const std::string& revision, const VendorArea& area) {
  Reply r;
  r.length = kProcessorInquiryLength;
  r.bytes[0] = 3;
  r.bytes[2] = 2;
  r.bytes[3] = 2;
  r.bytes[4] = static_cast<uint8_t>(r.length - 5);
  PutPadded(&r.bytes[8], 8, vendor);
  PutPadded(&r.bytes[16], 16, product);
  PutPadded(&r.bytes[32], 4, revision);
  memcpy(&r.bytes[36], area.data(), area.size());
  return r;
}

void FillSense(unsigned char* sense, uint8_t key, uint8_t code,
               uint8_t qualifier) {
  memset(sense, 0, 18);
  sense[0] = 0x70;
  sense[2] = key;
  sense[7] = 10;
  sense[12] = code;
  sense[13] = qualifier;
}

bool SerialPage(const Device& device, int page, Reply* reply) {
  size_t start;
  if (page == kSerialPage)
    start = 4;
  else if (page == kVendorSerialPage)
    start = 18;
  else
    return false;
  // The parser keeps serials short enough for both pages.
  size_t n = device.serial.size();
  if (start + n > reply->bytes.size() - 1) n = reply->bytes.size() - 1 - start;
  Reply r;
  r.bytes[0] = static_cast<uint8_t>(device.type & 0x1F);
  r.bytes[1] = static_cast<uint8_t>(page);
  r.bytes[3] = static_cast<uint8_t>(start - 4 + n);
  memcpy(&r.bytes[start], device.serial.data(), n);
  r.length = start + n;
  *reply = r;
  return true;
}

std::string DescribeArea(const VendorArea& area) {
  if (area[0] != kAreaMagic) return "uninitialized";
  std::string text = "c" + AdapterText(PortOfOwnerByte(area[1])) + ":";
  for (int i = 3; i < 3 + kMaxNodeNameInArea && area[i] != 0; ++i) {
    unsigned char c = area[i];
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      text += static_cast<char>(c);
    } else {
      char octal[5];
      snprintf(octal, sizeof octal, "\\%03o", c);
      text += octal;
    }
  }
  return text;
}

}  // namespace scsi
