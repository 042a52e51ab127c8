#include "cspec/scsi_cmd.h"

#include <errno.h>
#include <string.h>

#include "cspec/state.h"

namespace {

constexpr unsigned char kInquiry = 0x12;

// A standard INQUIRY (EVPD 0) for length bytes into buffer.
int standard_inquiry(int fd, unsigned char* buffer, unsigned char length) {
  ScsiCommand command;
  memset(&command, 0, sizeof command);
  const unsigned char cdb[6] = {kInquiry, 0x00, 0x00, 0x00, length, 0x00};
  memcpy(command.cdb, cdb, sizeof cdb);
  command.data = buffer;
  command.length = length;
  return IO_SCSI(fd, &command, kScsiMode);
}

}  // namespace

extern "C" {

unsigned char SenseData[252];

int IO_SCSI(int fd, ScsiCommand* command, int mode) {
  ScsiRequest request;
  memset(&request, 0, sizeof request);
  request.sense = SenseData;
  request.cdb_length = 6;
  request.command = command;
  request.mode = static_cast<uint32_t>(mode);
  return IO_PassThrough(fd, libio_magic, &request);
}

int my_IO_Inquiry(int fd, unsigned char* buffer) {
  int result = standard_inquiry(fd, buffer, IO_INQUIRY_LENGTH);
  if (result >= 0) return result;
  return IO_Inquiry(fd, buffer);
}

int my_IO_GetProcessorInquiry(int fd, unsigned char* buffer) {
  int result = IO_GetProcessorInquiry(fd, buffer);
  if (result >= 0) return result;
  debug(
      "my_IO_GetProcessorInquiry: IO_GetProcessorInquiry: %d, trying "
      "IO_SCSI()\n",
      errno);
  result = standard_inquiry(fd, buffer, IO_PROCESSOR_INQUIRY_LENGTH);
  debug("IO_SCSI() returned %d, errno=%d\n", result, errno);
  return result;
}

}  // extern "C"
