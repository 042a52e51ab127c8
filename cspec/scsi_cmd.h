// The command's SCSI layer: its own pass-through IO_SCSI, and the two
// inquiry wrappers that combine it with the SCSI I/O service library.
//
// IO_SCSI sends one six-byte CDB with a data-in transfer through the
// service's pass-through entry (where the old platform took an ioctl with
// the request code libio_magic).  The wrappers prefer different halves:
// my_IO_Inquiry tries the pass-through first and the library second,
// my_IO_GetProcessorInquiry the library first and the pass-through second.
// Every call returns a negative number with errno set on failure.

#ifndef RUDED_CSPEC_SCSI_CMD_H_
#define RUDED_CSPEC_SCSI_CMD_H_

#include "platform/scsi/io.h"

// Mode word of every pass-through request the command sends.
inline constexpr int kScsiMode = 3;

extern "C" {

// Sense buffer handed with every pass-through request; never read.
extern unsigned char SenseData[252];

// Sends command (its CDB, data buffer and length) to the device behind fd
// with the given mode word.  Returns the pass-through's result unchanged:
// >= 0 on success, -1 with errno on failure.  No retry, no message.
int IO_SCSI(int fd, ScsiCommand* command, int mode);

// Standard INQUIRY data (36 bytes) into buffer.  Returns the pass-through's
// result when it succeeds, else IO_Inquiry's.
int my_IO_Inquiry(int fd, unsigned char* buffer);

// Processor INQUIRY data (56 bytes) into buffer.  Returns IO_Get-
// ProcessorInquiry's result when it succeeds, else the pass-through's; with
// -d the fallback is reported on standard error.
int my_IO_GetProcessorInquiry(int fd, unsigned char* buffer);

}  // extern "C"

// An open descriptor of the SCSI I/O service, closed with IO_Close when
// the owner goes out of scope.
class IoHandle {
 public:
  explicit IoHandle(int fd) : fd_(fd) {}
  ~IoHandle() { close(); }
  IoHandle(const IoHandle&) = delete;
  IoHandle& operator=(const IoHandle&) = delete;

  int get() const { return fd_; }
  // Closes now; the result of IO_Close is not used.
  void close() {
    if (fd_ >= 0) IO_Close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

#endif  // RUDED_CSPEC_SCSI_CMD_H_
