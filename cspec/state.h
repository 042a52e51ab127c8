// Command-wide state of qv_cspec and its message helpers.
//
// The command runs once, single-threaded, from start to end.  The driver
// sets this state in the order of its steps; the probe, the initiator and
// responder setups and device identification read it.  Every message that
// goes to standard error begins "qv_cspec: "; debug lines carry no prefix
// and appear only when opt_debug is 1.

#ifndef RUDED_CSPEC_STATE_H_
#define RUDED_CSPEC_STATE_H_

#include <stdio.h>

inline constexpr char CSPECIALS_DIR[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/cspecials";
inline constexpr char DEVICE_INFO_FILE[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/device_info";

// Loop bounds of the adapter probe.
inline constexpr int MAX_BUS = 8;
inline constexpr int MAX_CNTL = 8;
inline constexpr int MAX_SCSI_BUS = 4;
inline constexpr int MAX_PUN = 16;

// Bits of opt_mode.
inline constexpr int OPT_INIT = 1;  // -i: stamp initiators, create their nodes
inline constexpr int OPT_RESP = 2;  // -r: device_info, responder nodes

// Permission bits and type of every node the command makes (2100h).
inline constexpr unsigned kNodeMode = 020000 | 0400;

// Size of tmpdev_name: ".tmpdev" and a process id in decimal.
inline constexpr int kTmpdevNameSize = 32;

extern int opt_mode;    // OPT_INIT | OPT_RESP; 0 is the report mode
extern int opt_debug;   // 1 with -d
extern int opt_c;       // 1 with -c: responder nodes without the node name
extern int scsi_major;  // character major number of the SCSI driver
// The temporary probe node, relative to the parent of CSPECIALS_DIR.
extern char tmpdev_name[kTmpdevNameSize];
// The open, locked device_info stream; null without -r or when it could
// not be opened or locked.
extern FILE* device_info_fp;

// Writes a debug line to standard error when opt_debug is set.
void debug(const char* format, ...) __attribute__((format(printf, 1, 2)));

// With opt_debug set, writes label and the text of errno as perror() does.
// errno is left as it was.
void debug_perror(const char* label);

#endif  // RUDED_CSPEC_STATE_H_
