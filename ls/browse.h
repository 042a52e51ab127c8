// Browse, LSgetaliases: the aliases of the objects that match a search
// list, confined by "Containment" to one node and then returned as net
// aliases "node:alias".
//
// Without "Containment" the object-tool library answers here, unchanged.
// With it, the pair is taken out of a copy of the list and the rest are
// the criteria: on this node OTgetaliases answers; on a registered name
// server the criteria go as keyword=value lines in a parameter file from
// "/tmp/ZU_paramXXXXXX" to OTgetaliases run there through RSClient, whose
// words come back in a file from "/tmp/ZU_browseXXXXXX".  A browse that
// found no one to ask (unknown node) or whose remote command did not run
// logs "LSBrowse failed" (703/2); one whose temporary files could not be
// made is only traced.  Whatever happens, both files are removed and the
// aliases collected are returned.  Logs and traces go under "LS.LSBrowse".

#ifndef RUDED_LS_BROWSE_H_
#define RUDED_LS_BROWSE_H_

#include "ls/ls_internal.h"
#include "ls/ls_misc.h"

namespace ls {

// The state of one browse: its two files and the open output.
struct BrowseRecord {
  TempFile param;   // from "/tmp/ZU_paramXXXXXX"
  TempFile output;  // from "/tmp/ZU_browseXXXXXX"
  UniqueFile stream;
};

// Lists the aliases that match search on node as "node:alias" net
// aliases; NULL when none were found.  search stays the caller's; the
// result is the caller's (OTFreeAliasList).
AliasList* LSBrowse(KeywordList* search, const char* node);

// Writes search into the browse's parameter file and names its output
// file.  False when either cannot be prepared: only traced when a name
// cannot be made, logged when the parameter file cannot be written.
bool Setup_for_remote(KeywordList* search, BrowseRecord* record);

// How the remote part of a browse ended.
enum class RemoteOutcome {
  kRan,         // the command ran; its words were read as far as they go
  kNotRun,      // the command was refused or failed (logged)
  kUnreadable,  // its output could not be opened (logged)
};

// Runs OTgetaliases on node with the parameter file as its input and adds
// each alias it prints to *result as "node:alias".
RemoteOutcome do_remote(AliasList** result, const char* node,
                        BrowseRecord* record);

}  // namespace ls

#endif  // RUDED_LS_BROWSE_H_
