// The device table handed to object-tool commands: the environment
// variable OAM_DEVTAB, or /etc/device.tab when it is unset.
//
// This is the one place that reads and sets OAM_DEVTAB.  An operation
// copies the path before it does anything else, because verifying a node
// may read the registry's fallback, the System object, which runs with the
// default table set and the caller's put back (DefaultDevTable below): a
// pointer into the environment would not outlive that.

#ifndef RUDED_LS_DEV_TABLE_H_
#define RUDED_LS_DEV_TABLE_H_

#include <string>

namespace ls {

// The value of OAM_DEVTAB, traced under "verify_node" ("getenv is set" or
// "getenv not set"), or NULL when it is unset.  The pointer is the
// environment's own and is valid only until the environment changes.
const char* DevTableLookup();

// The path for a command: the traced lookup, or the default when unset.
std::string DevTablePath();

// The same, read without the lookup's traces (put, perform, browse).
std::string DevTablePathQuiet();

// While one lives, OAM_DEVTAB holds the default table when the caller had
// it set; the caller's value is put back when it goes.  An unset variable
// stays unset throughout.  Every change is traced: "saved current table
// setting, setting DEFAULT" and the value now held, under "LSGetservers";
// "resetting OAM_DEVTAB to %s" and the value now held, under "verify_node".
// REQUIRES: no caller holds a pointer into the environment meanwhile.
class DefaultDevTable {
 public:
  DefaultDevTable();
  ~DefaultDevTable();
  DefaultDevTable(const DefaultDevTable&) = delete;
  DefaultDevTable& operator=(const DefaultDevTable&) = delete;

 private:
  bool saved_ = false;
  std::string caller_value_;
};

}  // namespace ls

#endif  // RUDED_LS_DEV_TABLE_H_
