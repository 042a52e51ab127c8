// SCSI addresses as the stand-in sees them: a host adapter port (bus,
// controller, SCSI bus), a target on it, and the 32-bit device number that
// packs them.  Also the adapter text ("0", "10", "351") that names a port
// in node names, and the owner byte that stores a port in a vendor-specific
// area.

#ifndef RUDED_PLATFORM_SCSI_ADDRESS_H_
#define RUDED_PLATFORM_SCSI_ADDRESS_H_

#include <stdint.h>

#include <string>
#include <string_view>

namespace scsi {

constexpr int kMaxBus = 8;
constexpr int kMaxController = 8;
constexpr int kMaxScsiBus = 4;
constexpr int kMaxTarget = 16;
constexpr int kPortCount = kMaxBus * kMaxController * kMaxScsiBus;

// One SCSI bus of one controller of one bus of a machine.
struct Port {
  int bus = 0;
  int controller = 0;
  int scsi_bus = 0;
};

inline bool operator==(const Port& a, const Port& b) {
  return a.bus == b.bus && a.controller == b.controller &&
         a.scsi_bus == b.scsi_bus;
}

// Dense index 0..kPortCount-1 of a port whose fields are in range.
inline int PortIndex(const Port& p) {
  return (p.bus * kMaxController + p.controller) * kMaxScsiBus + p.scsi_bus;
}

// The fields of a device number, from the least significant bit: s (4),
// target (4), d (5), one unused bit, SCSI bus (2), controller (3), bus (3),
// major (10).
struct DevFields {
  uint32_t s = 0;
  uint32_t target = 0;
  uint32_t d = 0;
  Port port;
  uint32_t major = 0;
};

DevFields DecodeDev(uint32_t dev);
// Fields wider than their slot are cut to it.
uint32_t EncodeDev(const DevFields& fields);

// The owner byte of a vendor-specific area: SCSI bus in bits 0-1,
// controller in bits 2-4, bus in bits 5-7.
uint8_t OwnerByte(const Port& port);
Port PortOfOwnerByte(uint8_t owner);

// The adapter text of a port: the bus digit (left out when 0), the
// controller digit (left out when bus and controller are both 0), the SCSI
// bus digit.  Bus 0, controller 1, SCSI bus 0 is "10"; bus 1 is "100".
std::string AdapterText(const Port& port);

// Reads an adapter text back (without the leading 'c').  Only the form that
// AdapterText() writes is accepted, so "00" or "010" are refused.  Returns
// false and leaves *port alone on anything else.
bool ParseAdapterText(std::string_view text, Port* port);

// "<bus>.<controller>.<scsi-bus>", as the fabric file and the state file
// write a port.
std::string PortText(const Port& port);

}  // namespace scsi

#endif  // RUDED_PLATFORM_SCSI_ADDRESS_H_
