/* The SCSI I/O calls from C: the header compiles as C, the request records
 * have the field order and native widths the pass-through expects, and
 * every call answers a descriptor it never handed out with -1. */

#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>

#include "platform/scsi/io.h"

static int failures = 0;

static void Check(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

int main(void) {
  unsigned char buffer[56];
  ScsiRequest req = {0};
  Check(offsetof(ScsiCommand, data) == 16, "ScsiCommand.data after the CDB");
  Check(offsetof(ScsiCommand, length) == 16 + sizeof(void*),
        "ScsiCommand.length after data");
  Check(offsetof(ScsiRequest, cdb_length) == sizeof(void*),
        "ScsiRequest.cdb_length after sense");
  Check(offsetof(ScsiRequest, reserved) + 56 <= sizeof(ScsiRequest),
        "ScsiRequest keeps 56 reserved bytes");
  /* No RUDED_ROOT: no hardware. */
  unsetenv("RUDED_ROOT");
  errno = 0;
  Check(IO_Open("/dev/null", 0) == -1 && errno == ENXIO, "IO_Open ENXIO");
  errno = 0;
  Check(IO_Inquiry(99, buffer) == -1 && errno == EBADF, "IO_Inquiry EBADF");
  errno = 0;
  Check(IO_GetProcessorInquiry(99, buffer) == -1 && errno == EBADF,
        "IO_GetProcessorInquiry EBADF");
  errno = 0;
  Check(IO_SetInitiatorInquiry(99, 20, buffer) == -1 && errno == EBADF,
        "IO_SetInitiatorInquiry EBADF");
  errno = 0;
  Check(IO_GetInitiatorNode(99) == 0xFFFFFFFFu && errno == EBADF,
        "IO_GetInitiatorNode EBADF");
  errno = 0;
  Check(IO_PassThrough(99, libio_magic, &req) == -1 && errno == EBADF,
        "IO_PassThrough EBADF");
  errno = 0;
  Check(IO_Close(99) == -1 && errno == EBADF, "IO_Close EBADF");
  return failures == 0 ? 0 : 1;
}
