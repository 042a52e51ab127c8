#include "cspec/serial.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "cspec/scsi_cmd.h"

namespace {

struct SerialPage {
  unsigned char page;
  unsigned char length;  // allocation length and reply size
  size_t offset;         // first byte of the serial in the reply
  size_t limit;          // characters at most
};

constexpr size_t kLargestReply = 88;

int read_serial(int fd, const SerialPage& p, char* serial) {
  unsigned char reply[kLargestReply] = {};
  ScsiCommand command;
  memset(&command, 0, sizeof command);
  const unsigned char cdb[6] = {0x12, 0x01, p.page, 0x00, p.length, 0x00};
  memcpy(command.cdb, cdb, sizeof cdb);
  command.data = reply;
  command.length = p.length;
  if (IO_SCSI(fd, &command, kScsiMode) < 0) {
    fprintf(stderr, "qv_cspec: IO_SCSI failure (%d)\n", errno);
    return -1;
  }
  const char* from = reinterpret_cast<const char*>(reply + p.offset);
  size_t n = strnlen(from, p.limit);
  memcpy(serial, from, n);
  serial[n] = '\0';
  return 0;
}

}  // namespace

int get_serial_symbios(int fd, char* serial) {
  return read_serial(fd, {0x80, 34, 4, 10}, serial);
}

int get_serial_emc(int fd, char* serial) {
  return read_serial(fd, {0x80, 34, 4, 9}, serial);
}

int get_serial_hp(int fd, char* serial) {
  return read_serial(fd, {0xE0, 88, 18, 10}, serial);
}

int get_serial_default(int fd, char* serial) {
  return read_serial(fd, {0x80, 34, 4, 28}, serial);
}
