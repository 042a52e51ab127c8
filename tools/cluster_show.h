// simcluster show: a cluster's buses, devices and vendor-specific areas as
// the machines read them.
//
// One block per bus, in the order of the fabric file, its targets in
// ascending order:
//
//   bus <name>
//     <id> adapter <machine> c<adapter>: set to c<owner>:<node name>
//     <id> adapter <machine> c<adapter>: uninitialized
//     <id> disk "<vendor>" "<product>" "<revision>" serial "<serial>"
//     <id> device type <n> "<vendor>" "<product>" "<revision>"
//
// Vendor, product and revision are padded with blanks as the devices report
// them; a device line shows its serial only when it has one.  The fault
// options of a device follow in brackets, as written: [open=EBUSY
// evpd=fail].  Areas kept in fabric.state for an adapter that the fabric no
// longer has are listed at the end:
//
//   stale <machine> <bus>.<controller>.<scsi-bus>: set to c<owner>:<name>
//
// Bytes outside printable ASCII, and the backslash, show as \ooo.

#ifndef RUDED_TOOLS_CLUSTER_SHOW_H_
#define RUDED_TOOLS_CLUSTER_SHOW_H_

#include <string>

namespace simcluster {

// Appends the listing of the cluster in dir to *out.  Returns false with
// *err set when its fabric or state cannot be read.
bool ShowCluster(const std::string& dir, std::string* out, std::string* err);

}  // namespace simcluster

#endif  // RUDED_TOOLS_CLUSTER_SHOW_H_
