// The cspecials directory: finding or making it, reading its nodes into the
// device table, and bringing it in line with the table at the end.
//
// Paths in messages and in the table are the unmapped ones
// (CSPECIALS_DIR "/" name); every call on the file system maps them under
// the machine root.

#ifndef RUDED_CSPEC_CSPECIALS_H_
#define RUDED_CSPEC_CSPECIALS_H_

// Changes to CSPECIALS_DIR, creating it with mode 0755 when it is missing
// (only the last component), and then to its parent.  Returns 0, or -1
// after printing "Unable to locate ... directory".
int locate_cspecials();

// Reads every entry of CSPECIALS_DIR into the table as NODE_CURRENT,
// removing at once an entry whose device number an earlier entry has.  An
// entry whose status cannot be read is reported and left out.  Returns 0,
// or -1 after printing "Unable to access ... directory" or "No more memory".
int scan_cspecials();

// The final passes over the table: removes the nodes nothing asked for,
// renames nodes wanted under another name, and creates the missing nodes
// that the options ask for.  Failures, exhausted storage among them, leave
// one entry as it is and do not stop the walk.
void reconcile_nodes();

#endif  // RUDED_CSPEC_CSPECIALS_H_
