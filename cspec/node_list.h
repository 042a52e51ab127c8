// The device table: one entry per device number, recording the node that
// exists in the cspecials directory now and the node the run asks for.
//
// The directory scan enters the nodes that exist (NODE_CURRENT); the
// initiator and responder setups enter the nodes that the hardware calls
// for.  The driver's final passes remove, rename and create nodes from what
// the table then holds.  New entries go to the head, so every walk runs from
// the newest entry to the oldest.  Entries and their strings are never freed:
// they live until the process ends.

#ifndef RUDED_CSPEC_NODE_LIST_H_
#define RUDED_CSPEC_NODE_LIST_H_

#include <stdint.h>

inline constexpr int NODE_INITIATOR = 1;  // the run wants an initiator node
inline constexpr int NODE_RESPONDER = 2;  // the run wants a responder node
inline constexpr int NODE_CURRENT = 4;    // the node exists now under name

struct node_entry {
  char* name;     // path of the node: CSPECIALS_DIR "/" file name
  char* newname;  // path an existing node is renamed to, or null
  uint32_t dev;   // SCSI device number
  int flags;      // NODE_* bits
  node_entry* next;
};

// Head of the table; null when empty.
extern node_entry* node_list;

// Enters a node.  name is copied; flags is exactly one NODE_* value.
// Returns 0 when a new entry was made, 1 when an entry with this device
// number existed and was merged, -1 after printing "No more memory" or the
// duplicate-devices error.  A NODE_CURRENT merge never compares names; an
// initiator or responder request under another name becomes the existing
// entry's newname, once.
int add_node(const char* name, uint32_t dev, int flags);

// Writes the table to standard error: "NODE DUMP:" and four lines per
// entry.  Prints nothing at all for an empty table.
void dump_nodes();

#endif  // RUDED_CSPEC_NODE_LIST_H_
