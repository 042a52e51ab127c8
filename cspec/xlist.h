// The exclusion list: targets on shared SCSI buses that the responder scan
// leaves alone, read from /usr/ruded/config/excludelist (under the machine
// root).
//
// Each line of the file, read in pieces of at most 129 characters, loses
// every space and tab; what is then empty or begins with '#' is ignored and
// anything else is one entry, such as c10t3.  The list is kept as one
// string: the byte 01h, then every entry followed by 01h, so that a whole
// entry is found by a substring search for 01h, the entry and 01h.

#ifndef RUDED_CSPEC_XLIST_H_
#define RUDED_CSPEC_XLIST_H_

#include <stddef.h>
#include <stdio.h>

// The list, or null when there is no entry.  Lives until the process ends.
extern char* xlist;
// Capacity of the xlist buffer in bytes: 40 at first; 0 without a list.
extern size_t xlist_size;
// Number of entries stored.
extern int xlist_count;

// The separator framing every entry.
inline constexpr char kXlistSeparator = '\001';

// Builds the list from the exclusion file.  A missing or unreadable file
// means no list and no message.  With -d it reports its start, its end and
// allocation failures; after a failed growth the entries read so far stay.
void mkxlist();

// Builds the list from an open exclusion file; mkxlist() without the open.
void build_xlist(FILE* in);

// True when the list is present and holds key, a framed entry
// ("\001c10t3\001").
bool xlist_contains(const char* key);

#endif  // RUDED_CSPEC_XLIST_H_
