// SCSI device numbers and the three text forms that name them.
//
// A device number is 32 bits packing, from the least significant bit: the
// s field (4 bits), the target (4), the d field (5), one unused bit, the
// SCSI bus (2), the controller (3), the bus (3) and the SCSI driver's
// character major number (10).  The fields are set and read one by one.
//
// Names print the bus digit (left out when the bus is 0), the controller
// digit (left out when bus and controller are both 0) and the SCSI bus:
// bus 0, controller 1, SCSI bus 0 is "10"; bus 1, controller 0 is "100".
// The major number is never part of a name.

#ifndef RUDED_CSPEC_DEVNUM_H_
#define RUDED_CSPEC_DEVNUM_H_

#include <stdint.h>

#include <string>

inline unsigned dev_s(uint32_t dev) { return dev & 0xF; }
inline unsigned dev_target(uint32_t dev) { return (dev >> 4) & 0xF; }
inline unsigned dev_d(uint32_t dev) { return (dev >> 8) & 0x1F; }
inline unsigned dev_scsi_bus(uint32_t dev) { return (dev >> 14) & 0x3; }
inline unsigned dev_cntl(uint32_t dev) { return (dev >> 16) & 0x7; }
inline unsigned dev_bus(uint32_t dev) { return (dev >> 19) & 0x7; }
inline unsigned dev_major(uint32_t dev) { return dev >> 22; }

// dev with its target field replaced by target AND 0Fh.
uint32_t dev_with_target(uint32_t dev, unsigned target);

// dev with its major field replaced by major AND 3FFh; bits 0-21 kept.
uint32_t dev_with_major(uint32_t dev, unsigned major);

// A probe device number: the given fields, each masked to its width, and 0
// in the s field, the d field and the unused bit.
uint32_t make_dev(unsigned major, unsigned bus, unsigned cntl,
                  unsigned scsi_bus, unsigned target);

// The adapter text of dev ("0", "351"): at most 3 characters.
std::string adapter_name(uint32_t dev);
// adapter_name, "t" and the target: "10t15"; at most 7 characters.
std::string target_name(uint32_t dev);
// target_name, "d", the d field, "s", the s field: "0t7d0s0"; at most 13.
// Names are short enough that building them never allocates.
std::string device_name(uint32_t dev);

#endif  // RUDED_CSPEC_DEVNUM_H_
