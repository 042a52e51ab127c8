// simcluster create: lays out a simulated cluster directory from a fabric
// file.
//
//   <dir>/fabric             a copy of the fabric file
//   <dir>/fabric.state       no area set yet
//   <dir>/<machine>/         for every machine with an adapter in the fabric:
//     etc/nodename                             the machine's name
//     etc/conf/cf.d/mdevice                    a SCSI record, major 35
//     tmp/  var/adm/  usr/ruded/config/
//     usr/ruded/subsys/scsi/resources/hostadp/
//     usr/sadm/sysadm/bin/                     the object-tool commands
//
// The commands are symbolic links to every executable in the command
// directory installed beside simcluster (<bindir>/../libexec/ruded); when
// OTinit is among them it is run once per machine with RUDED_ROOT set to
// the machine's root, to make its object store.

#ifndef RUDED_TOOLS_CLUSTER_CREATE_H_
#define RUDED_TOOLS_CLUSTER_CREATE_H_

#include <string>

namespace simcluster {

struct CreateOptions {
  std::string fabric_file;
  std::string dir;          // must not exist, or be an empty directory
  std::string command_dir;  // "" or missing: no commands are linked
};

// Makes the cluster.  Returns false with *err ("<path>: <cause>" or
// "<file>:<line>: <cause>") on the first failure; a directory refused as
// not empty is left untouched.
bool CreateCluster(const CreateOptions& options, std::string* err);

// The text of etc/conf/cf.d/mdevice: the SCSI driver's record with
// character major 35 in its sixth word, beside a few others.
extern const char kMdeviceText[];

}  // namespace simcluster

#endif  // RUDED_TOOLS_CLUSTER_CREATE_H_
