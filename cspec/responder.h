// Responder setup: one target of a shared SCSI bus, seen from this
// machine's port on it.
//
// A processor there is another machine's host adapter: it is entered into
// the device table as r and the local adapter name, followed by "_" and the
// far machine's node name when its vendor-specific area is set and -c is
// not given.  A direct-access device is handed to device identification
// with -r while device_info is open.  Anything else is passed over.

#ifndef RUDED_CSPEC_RESPONDER_H_
#define RUDED_CSPEC_RESPONDER_H_

#include <stdint.h>

// Probes target (0-15) on the bus of the initiator device number idev.
// Returns 0 when a processor was entered into the device table, -1
// otherwise (nothing there, another type, a disk, or a failure).  In report
// mode an unstamped responder is reported on standard error, a stamped one
// on standard output; other failures are silent unless -d is given.
int setup_responder(uint32_t idev, int target);

#endif  // RUDED_CSPEC_RESPONDER_H_
