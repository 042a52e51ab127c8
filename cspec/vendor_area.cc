#include "cspec/vendor_area.h"

#include <stdio.h>
#include <string.h>

#include "cspec/devnum.h"
#include "platform/scsi/io.h"

namespace {

constexpr int kMagicByte = IO_VENDOR_AREA_OFFSET;
constexpr int kOwnerByte = IO_VENDOR_AREA_OFFSET + 1;
constexpr int kNameByte = IO_VENDOR_AREA_OFFSET + 3;
constexpr size_t kNameSize = sizeof(VendorSpecificInfo::node_name);

}  // namespace

unsigned char owner_byte(uint32_t dev) {
  return static_cast<unsigned char>(dev_scsi_bus(dev) | dev_cntl(dev) << 2 |
                                    dev_bus(dev) << 5);
}

uint32_t owner_dev(unsigned char owner) {
  return make_dev(0, owner >> 5, (owner >> 2) & 0x7, owner & 0x3, 0);
}

bool area_is_set(const unsigned char* inquiry) {
  return inquiry[kMagicByte] == kVendorMagic;
}

std::string area_node_name(const unsigned char* inquiry) {
  const char* name = reinterpret_cast<const char*>(inquiry + kNameByte);
  return std::string(name, strnlen(name, kNameSize));
}

std::string area_owner(const unsigned char* inquiry) {
  return "c" + adapter_name(owner_dev(inquiry[kOwnerByte]));
}

std::string area_owner_text(const unsigned char* inquiry) {
  return area_owner(inquiry) + ":" + area_node_name(inquiry);
}

bool is_plain_node_name(const std::string& name) {
  // isalnum() would follow the locale; a file name word must not.
  auto plain = [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
  };
  if (!name.empty() && name[0] == '.') return false;
  for (unsigned char c : name) {
    if (!plain(c)) return false;
  }
  return true;
}

std::string escape_node_name(const std::string& name) {
  std::string text;
  for (unsigned char c : name) {
    if (c == '\\' || c == '"') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      char octal[5];
      snprintf(octal, sizeof octal, "\\%03o", c);
      text += octal;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

void stamp_area(unsigned char* inquiry, uint32_t dev, const char* node_name) {
  inquiry[kMagicByte] = kVendorMagic;
  inquiry[kOwnerByte] = owner_byte(dev);
  // strncpy's padding is what the field wants: NULs after a short name,
  // no terminator for a name of 17 bytes or more.
  strncpy(reinterpret_cast<char*>(inquiry + kNameByte), node_name, kNameSize);
}
