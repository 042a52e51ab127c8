#include "cspec/devnum.h"

#include <stdio.h>

namespace {

// The first table leaves a zero digit out, the second prints it.
constexpr const char* kFirstDigit[8] = {"", "1", "2", "3", "4", "5", "6", "7"};
constexpr const char* kSecondDigit[8] = {"0", "1", "2", "3",
                                         "4", "5", "6", "7"};

constexpr uint32_t kTargetMask = 0xFu << 4;
constexpr uint32_t kMajorMask = 0x3FFu << 22;

// The bus and controller digits: the controller's digit is printed when
// the bus is non-zero even if it is 0, so 1/0 and 0/1 stay apart.
const char* cntl_digit(uint32_t dev) {
  return dev_bus(dev) != 0 ? kSecondDigit[dev_cntl(dev)]
                           : kFirstDigit[dev_cntl(dev)];
}

}  // namespace

uint32_t dev_with_target(uint32_t dev, unsigned target) {
  return (dev & ~kTargetMask) | ((target & 0xFu) << 4);
}

uint32_t dev_with_major(uint32_t dev, unsigned major) {
  return (dev & ~kMajorMask) | ((major & 0x3FFu) << 22);
}

uint32_t make_dev(unsigned major, unsigned bus, unsigned cntl,
                  unsigned scsi_bus, unsigned target) {
  uint32_t dev = 0;
  dev |= (target & 0xFu) << 4;
  dev |= (scsi_bus & 0x3u) << 14;
  dev |= (cntl & 0x7u) << 16;
  dev |= (bus & 0x7u) << 19;
  return dev_with_major(dev, major);
}

std::string adapter_name(uint32_t dev) {
  char text[5];
  snprintf(text, sizeof text, "%s%s%u", kFirstDigit[dev_bus(dev)],
           cntl_digit(dev), dev_scsi_bus(dev));
  return text;
}

std::string target_name(uint32_t dev) {
  char text[9];
  snprintf(text, sizeof text, "%s%s%ut%u", kFirstDigit[dev_bus(dev)],
           cntl_digit(dev), dev_scsi_bus(dev), dev_target(dev));
  return text;
}

std::string device_name(uint32_t dev) {
  char text[17];
  snprintf(text, sizeof text, "%s%s%ut%ud%us%u", kFirstDigit[dev_bus(dev)],
           cntl_digit(dev), dev_scsi_bus(dev), dev_target(dev), dev_d(dev),
           dev_s(dev));
  return text;
}
