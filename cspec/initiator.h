// Initiator setup: this machine's own port on one SCSI bus.
//
// The adapter's own address must answer INQUIRY as a processor.  Its node,
// c and the adapter name, is entered into the device table in every mode.
// In report mode the setup prints what the adapter's vendor-specific area
// holds; with -i it stamps an unset area with this machine's node name and
// the adapter's owner byte, and never writes an area that is already set.
// All SCSI traffic goes through the temporary node.

#ifndef RUDED_CSPEC_INITIATOR_H_
#define RUDED_CSPEC_INITIATOR_H_

#include <stdint.h>

// Sets up the initiator with device number dev (major field already
// replaced).  Returns 0 on success, -1 on any failure, including an
// uninitialized adapter in report mode.  Failures are silent unless -d
// is given, but for "No more memory"; report lines go to standard output.
int setup_initiator(uint32_t dev);

#endif  // RUDED_CSPEC_INITIATOR_H_
