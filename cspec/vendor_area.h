// VendorSpecificInfo: the 20 bytes at INQUIRY bytes 36-55 of a host
// adapter, with which each machine marks its own adapters so that the other
// machines on a shared bus can name their responder nodes after it.
//
//   byte 36      magic FEh once set; any other value: uninitialized
//   byte 37      owner byte: SCSI bus in bits 0-1, controller in bits 2-4,
//                bus in bits 5-7, of the adapter that set the area
//   byte 38      never written: the value read goes back unchanged
//   bytes 39-55  node name of the machine that set it, at most 17 bytes,
//                NUL-padded, without a NUL when it has 17 or more
//
// The functions below take the 56-byte processor INQUIRY data.

#ifndef RUDED_CSPEC_VENDOR_AREA_H_
#define RUDED_CSPEC_VENDOR_AREA_H_

#include <stdint.h>

#include <string>

struct VendorSpecificInfo {
  unsigned char magic;
  unsigned char owner;
  unsigned char reserved;
  char node_name[17];
};
static_assert(sizeof(VendorSpecificInfo) == 20);

inline constexpr unsigned char kVendorMagic = 0xFE;

// The owner byte of an adapter's device number.
unsigned char owner_byte(uint32_t dev);

// The device number whose SCSI bus, controller and bus come from owner and
// whose other fields are 0; adapter_name() of it names the owner.
uint32_t owner_dev(unsigned char owner);

// True when the area of inquiry carries the magic byte.
bool area_is_set(const unsigned char* inquiry);

// The node name stored in the area: the bytes up to the first NUL or the
// end of the 17-byte field.
std::string area_node_name(const unsigned char* inquiry);

// "c" and the owner's adapter name: "c10".
std::string area_owner(const unsigned char* inquiry);

// area_owner() with ":" and the node name, as the report lines show a set
// area: "c10:nodeA".
std::string area_owner_text(const unsigned char* inquiry);

// True when name may become part of a file name: letters, digits, '.', '_'
// and '-' only, and no '.' first (so neither "..", a hidden name nor a
// slash).  The empty name is plain.
bool is_plain_node_name(const std::string& name);

// name as a message shows it between double quotes: a backslash and a
// double quote with a backslash before them, bytes other than printable
// ASCII as a backslash and three octal digits ("\033"), the rest as is.
std::string escape_node_name(const std::string& name);

// Marks the area of inquiry as set by the adapter dev of the machine
// node_name: magic, owner byte and the name cut to 17 bytes.  Byte 38 is
// left as it is.
void stamp_area(unsigned char* inquiry, uint32_t dev, const char* node_name);

#endif  // RUDED_CSPEC_VENDOR_AREA_H_
