// The frame every query, browse, put and perform runs in.
//
// An operation splits its net alias, serves it here through the
// object-tool library when the object is on this node, and otherwise has
// RSClient run an object-tool command on the object's node with the output
// in a temporary file here.  This header holds the steps the operations
// share; each operation strings them together in its own order.

#ifndef RUDED_LS_FRAME_H_
#define RUDED_LS_FRAME_H_

#include <exception>
#include <new>
#include <span>

#include "ls/ls_internal.h"
#include "ls/ls_misc.h"
#include "ls/shell_line.h"

namespace ls {

// The net alias of one operation, split.
struct NetTarget {
  char node[kTextSize] = "";
  char alias[kTextSize] = "";
  bool has_node = false;          // the net alias held a colon
  int split_status = SSPI_E_END;  // what ended the reading of the split
};

// Splits netalias into *target: the node name before the first colon and
// the alias after it, or the whole text as the alias when there is no
// colon.  An unexpected keyword in the split is logged under component
// (702/2) and skipped.  Returns false after logging for a NULL net alias
// (702/2) or one longer than 519 bytes (799/3).
bool SplitNetalias(const char* component, const char* netalias,
                   NetTarget* target);

// True when the object is on this node: the net alias had no node part,
// or is_local() of the node name is 1.
bool IsLocalTarget(const NetTarget& target);

// True when node is a registered name server; otherwise logs
// "%s is unknown to the name/locations service" (703/4) under component.
bool VerifyServer(const char* component, const char* node);

// One remote query: the object-tool command (tool with a "%s" per word)
// run on the target's node with its output in a file from
// "/tmp/ZU_queryXXXXXX".
struct RemoteQuery {
  const char* component;      // logs and traces
  const char* run_component;  // where a failed run is logged
  const char* tool;
  std::span<const ShellWord> words;
};

// Runs the remote steps of a query: node verification, the split's end
// status, the temporary file, the command and its remote line (both
// traced), the run and the opening of the output.  Returns the output as a
// stream open for reading, with *file holding the temporary file (removed
// and withdrawn when *file goes away), or NULL after logging the failure
// (nothing is left behind).
UniqueFile RunRemoteQuery(const RemoteQuery& query, const NetTarget& target,
                          const char* devtab, TempFile* file);

// How a parameter file's lines look.
enum class ParamStyle {
  kQuoted,        // keyword="value", traced as "%s: %s=\"%s\""
  kQuotedTraced,  // the same, with a "successfully put" trace after each
  kBare,          // keyword=value, traced as "%s: %s=%s"
};

// Writes the pairs of list from its cursor onward, one line each, traced
// under component, and closes the stream.  Values go out as they stand;
// the walk leaves the cursor at the first item.  A NULL list writes
// nothing.  Returns false after logging under component for a keyword or
// value too long for the 40/520-byte buffers (799/3) or a write error
// (799/2, naming the file).
bool WriteParameters(UniqueFile stream, KeywordList* list, ParamStyle style,
                     const char* component, const char* name);

// Traces, at level 7 under component, an exception that reached the edge.
void TraceEscaped(const char* component, const char* what) noexcept;

// The C edge of every exported operation: calls body and returns its
// result.  One rule: storage that runs out (std::bad_alloc) is the
// operation's storage failure, that is failure, as a failed malloc() is;
// any other exception is failure too, with a trace line under component;
// no exception ever reaches (or terminates) the C caller.
template <typename T, typename F>
T Guarded(const char* component, T failure, F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return failure;
  } catch (const std::exception& e) {
    TraceEscaped(component, e.what());
  } catch (...) {
    TraceEscaped(component, "unknown exception");
  }
  return failure;
}

}  // namespace ls

#endif  // RUDED_LS_FRAME_H_
