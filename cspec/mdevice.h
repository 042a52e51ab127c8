// The SCSI driver's character major number, from the kernel's device
// configuration table /etc/conf/cf.d/mdevice (under the machine root).
//
// Records are read six words at a time; words may run over line ends when a
// line has fewer than six, and the rest of the line on which the sixth word
// stood is skipped.  The first record whose first word is exactly "SCSI"
// gives the number at the start of its sixth word.  Each word is kept in a
// 20-byte field: a word longer than 19 characters is cut to its first 19
// (the rest of the word is read and dropped), so "SCSI" followed by more
// characters is never taken for the SCSI record.  A record cut short by the
// end of the file counts as the end of the file.

#ifndef RUDED_CSPEC_MDEVICE_H_
#define RUDED_CSPEC_MDEVICE_H_

#include <stdio.h>

// The major number used when the table gives none.
inline constexpr int kDefaultScsiMajor = 35;

// Returns the major number of the SCSI record in the table, or 35 after
// printing why there is none ("qv_cspec: mdevice" and the system error when
// the file cannot be opened, "Unable to find SCSI major" when it has no
// SCSI record).
int get_scsi_major();

// Reads records from in until the SCSI record.  Returns true and stores its
// major number in *major, or returns false when the stream ends first.
bool read_scsi_major(FILE* in, int* major);

#endif  // RUDED_CSPEC_MDEVICE_H_
