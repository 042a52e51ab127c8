// The device information file DEVICE_INFO_FILE, written with -r.
//
// The file is opened without being emptied, locked with lockf F_TLOCK (an
// exclusive lock on the whole file, never waited for) and only then
// emptied, so a second run while the first holds the lock leaves the file
// as the first one writes it.  Lines are written by device identification
// during the probe.

#ifndef RUDED_CSPEC_DEVICE_INFO_H_
#define RUDED_CSPEC_DEVICE_INFO_H_

// Opens, locks and empties the file into device_info_fp.  When it cannot
// be opened or locked, prints why with the error number and leaves
// device_info_fp null; the run goes on without it.
void open_device_info();

// Writes out and unlocks the file and closes device_info_fp, if open.
void close_device_info();

#endif  // RUDED_CSPEC_DEVICE_INFO_H_
