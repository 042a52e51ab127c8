// The SCSI I/O service stand-in: the calls of the old platform's SCSI I/O
// library, served from a simulated shared-bus fabric or, without one, on
// Linux from the kernel's SCSI subsystem (linux_service.h).
//
// A machine whose root is <cluster>/<machine> finds its hardware described
// in <cluster>/fabric and the vendor-specific areas written so far in
// <cluster>/fabric.state.  What follows describes the fabric; service.h
// says which backend serves.
// Every call returns a negative number on failure with errno set.
//
// The fabric is read once per process, on the first call.  A fabric that
// cannot be read or parsed is reported once on standard error, naming the
// file and line, and every IO_Open then fails with EIO.  A device's fault
// options in the fabric make the call they name fail, with EIO unless the
// option gives another errno.  The calls are not thread-safe; the command
// that uses them is single-threaded.  simcluster(1) describes the fabric
// and state files.

#ifndef RUDED_PLATFORM_SCSI_IO_H_
#define RUDED_PLATFORM_SCSI_IO_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IO_INQUIRY_LENGTH 36
#define IO_PROCESSOR_INQUIRY_LENGTH 56
#define IO_VENDOR_AREA_OFFSET 36
#define IO_VENDOR_AREA_LENGTH 20

// The pass-through request: a six-byte CDB with a data-in transfer.  The
// fields stand in the order the driver expects; pointers are native width.
typedef struct ScsiCommand {
  unsigned char cdb[12];  // bytes 0-5: the CDB; 6-11 not set
  unsigned char* data;    // data-in buffer
  uint32_t length;        // data length: the CDB's allocation length
} ScsiCommand;

typedef struct ScsiRequest {
  unsigned char* sense;  // SenseData
  uint32_t cdb_length;   // 6
  ScsiCommand* command;
  uint32_t mode;  // handed through from the caller
  unsigned char reserved[56];
} ScsiRequest;

// The request code of the pass-through.
extern int libio_magic;

// Opens the character special node at path (its device number addresses a
// SCSI target; absolute paths lie under the machine root).  flags are not
// used.  A descriptor >= 0, or -1 with errno: ENXIO when this machine has
// no adapter at that bus and controller or no such SCSI bus, ENODEV when no
// device answers at the target or the node is not a character special file,
// the errno of the status call when the node cannot be read.
int IO_Open(const char* path, int flags);
// Closes a descriptor from IO_Open; -1 with EBADF for any other.
int IO_Close(int fd);

// Standard INQUIRY data (36 bytes) of the device.
int IO_Inquiry(int fd, unsigned char* buffer);
// INQUIRY data (56 bytes) of a processor device; bytes 36-55 are its
// vendor-specific area.  EINVAL for a device of another type.
int IO_GetProcessorInquiry(int fd, unsigned char* buffer);
// The host adapter that owns the node reports these length (20) bytes as
// bytes 36-55 of its INQUIRY data from now on, to every initiator.  EINVAL
// when length is not 20.  The area is kept in fabric.state.
int IO_SetInitiatorInquiry(int fd, int length, unsigned char* data);
// Device number of this host adapter's own address on the node's bus: its
// bus, controller and SCSI bus, its id as the target, s and d 0, the
// node's major.  0xFFFFFFFF with EBADF for a descriptor not from IO_Open.
uint32_t IO_GetInitiatorNode(int fd);

// Stands in for ioctl(fd, request, request_block) on a simulated device:
// request must be libio_magic (else EINVAL) and request_block a
// ScsiRequest with a six-byte CDB (else EINVAL).  Carries out INQUIRY
// (12h): EVPD 0 gives the standard data (56 bytes for a host adapter, 36
// for others), EVPD 1 the serial-number page 80h or E0h.  Transfers what
// the device has up to the allocation length, which must equal the data
// length (else EINVAL), and zeroes the rest of it.  Returns 0, or -1 with
// EIO for any other command or page and for a device fault, leaving
// fixed-format sense data in the request's sense buffer when it has one.
//
// Example:
//   unsigned char data[36];
//   ScsiCommand cmd = {{0x12, 0, 0, 0, 36, 0}, data, 36};
//   ScsiRequest req = {sense, 6, &cmd, 3, {0}};
//   if (IO_PassThrough(fd, libio_magic, &req) < 0) perror("INQUIRY");
int IO_PassThrough(int fd, int request, void* request_block);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // RUDED_PLATFORM_SCSI_IO_H_
