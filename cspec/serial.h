// Serial-number readers: one INQUIRY for vital product data each, whose
// page, reply length, offset and limit depend on the device's vendor.
//
//   reader                page  reply  serial from byte  at most
//   get_serial_symbios    80h   34     4                 10
//   get_serial_emc        80h   34     4                  9
//   get_serial_hp         E0h   88     18                10
//   get_serial_default    80h   34     4                 28
//
// The page length in byte 3 of the reply is not consulted: the serial is
// copied from the fixed byte up to the first NUL or the limit.  The reply
// buffer is cleared before the command, so a device that returns fewer
// bytes gives only the bytes it returned.

#ifndef RUDED_CSPEC_SERIAL_H_
#define RUDED_CSPEC_SERIAL_H_

#include <stddef.h>

// Size of the buffer every reader fills: 28 characters and a NUL.
inline constexpr size_t kSerialSize = 29;

// Each reads the serial number of the device behind fd into serial (at
// least kSerialSize bytes).  Returns 0, or -1 after printing
// "IO_SCSI failure" with errno to standard error.
int get_serial_symbios(int fd, char* serial);
int get_serial_emc(int fd, char* serial);
int get_serial_hp(int fd, char* serial);
int get_serial_default(int fd, char* serial);

#endif  // RUDED_CSPEC_SERIAL_H_
