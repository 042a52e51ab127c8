// The temporary probe node ".tmpdev<pid>", through which the probe and the
// setups reach every SCSI address.
//
// The name is relative: from the driver's directory step on, the current
// directory is the parent of CSPECIALS_DIR, so the node lives beside
// cspecials, not in it.  It is made again for every address, left in place
// between tries and removed at the end of the run, or when SIGHUP, SIGINT,
// SIGQUIT, SIGPIPE or SIGTERM interrupts the run (the command then dies of
// the signal).

#ifndef RUDED_CSPEC_TMPNODE_H_
#define RUDED_CSPEC_TMPNODE_H_

#include <stdint.h>

// Sets tmpdev_name to ".tmpdev" and the process id, and arms the signal
// handlers that remove the node.  REQUIRES: the current directory is the
// parent of CSPECIALS_DIR.
void init_tmp_node();

// Removes the temporary node (the result is not examined) and creates it
// again as a character special file, permission 0400, for dev.  Returns 0,
// or -1 with errno set by the creation (ENOMEM, after "No more memory",
// when storage runs out).
int make_tmp_node(uint32_t dev);

// Removes the temporary node; a missing node is no error.
void remove_tmp_node();

#endif  // RUDED_CSPEC_TMPNODE_H_
