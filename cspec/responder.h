// Responder setup: one target of a shared SCSI bus, seen from this
// machine's port on it.
//
// The target is reached through the temporary node and asked for its
// standard INQUIRY data.  Its peripheral device type decides what follows:
//
//   3 (processor)      another machine's host adapter, a responder: its
//                      processor INQUIRY data is read once and its node
//                      entered into the device table; in report mode its
//                      vendor-specific area is reported
//   0 (direct-access)  a disk: handed to device identification with -r
//                      while device_info is open; never entered
//   any other          passed over
//
// A responder's node is r and the local adapter name (the target is not
// part of it), followed by "_" and the far machine's node name when the far
// area is set and -c is not given: /.../cspecials/r0_nodeB.  That name comes
// from bytes anyone on the bus may write, so one that is_plain_node_name()
// refuses is not used: the node is named as with -c, and
//
//   qv_cspec: Warning: Ignoring node name "<name>" of responder c<target>:
//   not a plain file name
//
// (one line) shows it escaped by escape_node_name().
//
// Failures are silent unless -d is given, but for "No more memory".  In
// report mode an unstamped responder is reported on standard error, a
// stamped one on standard output.

#ifndef RUDED_CSPEC_RESPONDER_H_
#define RUDED_CSPEC_RESPONDER_H_

#include <stdint.h>

// What one target turned out to be.
enum class TargetOutcome {
  kResponder,  // a processor, entered into the device table
  kDisk,       // a direct-access device (identified with -r)
  kOtherType,  // a device of another type, passed over
  kNoAnswer,   // no node, no open or no INQUIRY: nothing seen there
  kFailed,     // a processor whose data or table entry failed, or storage
               // that ran out
};

// Probes target (0-15) on the bus of the initiator device number idev.
TargetOutcome probe_target(uint32_t idev, int target);

// probe_target() as the probe has always called it: 0 for kResponder, -1
// for every other outcome.
int setup_responder(uint32_t idev, int target);

#endif  // RUDED_CSPEC_RESPONDER_H_
