// The host adapter probe: finds every SCSI bus of every host adapter of
// this machine by trying device numbers through the temporary node.
//
// For each bus (0-7), controller (0-7) and SCSI bus (0-3) the targets 0-15
// are tried until one opens (T).  ENXIO at target 0 means the SCSI bus is
// absent and so are the later ones of the controller; ENXIO at a later
// target ends the search on that SCSI bus.  The I/O service then names the
// adapter's own address on the bus (the initiator): the initiator setup
// runs on it, and the responder setup on every target from T to 15 but the
// initiator's own and those that the exclusion list names.  Responders are
// looked for where the initiator setup succeeded, and with -r also where it
// failed.

#ifndef RUDED_CSPEC_PROBE_H_
#define RUDED_CSPEC_PROBE_H_

// Runs the probe.  Never fails: failures of single tries and setups pass
// over that target or bus.  REQUIRES: scsi_major and tmpdev_name are set.
void probe_adapters();

#endif  // RUDED_CSPEC_PROBE_H_
