#include "platform/scsi/address.h"

namespace scsi {

DevFields DecodeDev(uint32_t dev) {
  DevFields f;
  f.s = dev & 0xF;
  f.target = (dev >> 4) & 0xF;
  f.d = (dev >> 8) & 0x1F;
  f.port.scsi_bus = static_cast<int>((dev >> 14) & 0x3);
  f.port.controller = static_cast<int>((dev >> 16) & 0x7);
  f.port.bus = static_cast<int>((dev >> 19) & 0x7);
  f.major = (dev >> 22) & 0x3FF;
  return f;
}

uint32_t EncodeDev(const DevFields& f) {
  return (f.s & 0xF) | (f.target & 0xF) << 4 | (f.d & 0x1F) << 8 |
         (static_cast<uint32_t>(f.port.scsi_bus) & 0x3) << 14 |
         (static_cast<uint32_t>(f.port.controller) & 0x7) << 16 |
         (static_cast<uint32_t>(f.port.bus) & 0x7) << 19 |
         (f.major & 0x3FF) << 22;
}

uint8_t OwnerByte(const Port& port) {
  return static_cast<uint8_t>((port.scsi_bus & 0x3) |
                              (port.controller & 0x7) << 2 |
                              (port.bus & 0x7) << 5);
}

Port PortOfOwnerByte(uint8_t owner) {
  Port p;
  p.scsi_bus = owner & 0x3;
  p.controller = (owner >> 2) & 0x7;
  p.bus = (owner >> 5) & 0x7;
  return p;
}

std::string AdapterText(const Port& port) {
  std::string text;
  if (port.bus != 0) text += static_cast<char>('0' + port.bus);
  if (port.bus != 0 || port.controller != 0)
    text += static_cast<char>('0' + port.controller);
  text += static_cast<char>('0' + port.scsi_bus);
  return text;
}

bool ParseAdapterText(std::string_view text, Port* port) {
  if (text.empty() || text.size() > 3) return false;
  int digits[3];
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    digits[i] = text[i] - '0';
  }
  Port p;
  size_t n = text.size();
  p.scsi_bus = digits[n - 1];
  if (n >= 2) p.controller = digits[n - 2];
  if (n == 3) p.bus = digits[0];
  if (p.scsi_bus >= kMaxScsiBus || p.controller >= kMaxController ||
      p.bus >= kMaxBus)
    return false;
  // A leading zero digit is never written, so it makes a different text.
  if (AdapterText(p) != text) return false;
  *port = p;
  return true;
}

std::string PortText(const Port& port) {
  return std::to_string(port.bus) + "." + std::to_string(port.controller) +
         "." + std::to_string(port.scsi_bus);
}

}  // namespace scsi
