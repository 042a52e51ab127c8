// The machine root's safety check, made before qv_cspec touches anything.
//
// Run by root, the command creates, renames and removes nodes and empties
// device_info under the machine root (RUDED_ROOT).  A root that another
// user owns or may write, or that sits in a directory another user may
// change, lets that user choose what root overwrites.  So, as OpenSSH's
// StrictModes does for a user's files, when the effective user is root the
// root and every directory above it, resolved as realpath(3) resolves them,
// must be owned by root and must not be writable by group or others.  A
// directory above the root may be writable by others when it is sticky, as
// /tmp is: nobody but its owner can then rename or remove the root-owned
// directory inside it.  A root that does not exist is left to the steps
// that need it.  Run by another user, or without a root, nothing is
// checked: the system's own permissions then stand.

#ifndef RUDED_CSPEC_MACHINE_ROOT_H_
#define RUDED_CSPEC_MACHINE_ROOT_H_

// Returns 0 when the machine root may be used, or -1 after printing
//   qv_cspec: Error: Unsafe machine root <root>: <dir> is not owned by root
// or "... <dir> is writable by group or others" on standard error.
int check_machine_root();

#endif  // RUDED_CSPEC_MACHINE_ROOT_H_
