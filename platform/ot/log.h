// The machine's log, var/adm/oam.log, and the lines that the log and trace
// sinks of ot.h (IOLog, IOTrace, OTtrace, OTerror) append to it.
//
// Every line is appended with one write(2) on a descriptor opened with
// O_APPEND, so lines of several processes never interleave.  The text of a
// line is the formatted message with its trailing newlines removed;
// newlines inside it are kept.  Trace lines are written only when their
// level is at or below the number in OAM_TRACE (unset, empty or not a
// number: no trace at all).

#ifndef RUDED_PLATFORM_OT_LOG_H_
#define RUDED_PLATFORM_OT_LOG_H_

#include <stdarg.h>

#include <string>

namespace ot {

// The log's unmapped path.
inline constexpr char kLogPath[] = "/var/adm/oam.log";

// printf-style formatting into a string; "" for a null format.
std::string FormatText(const char* format, va_list args);

// Removes the newlines at the end of text.
std::string TrimTrailingNewlines(std::string text);

// Appends line (which should end in a newline) to the machine's log,
// creating var/adm when it is missing.  Returns false, with the reason in
// *err, when the line could not be written whole.
bool AppendLogLine(const std::string& line, std::string* err);

// True when a trace of this level is to be written under the current
// OAM_TRACE setting.
bool TraceEnabled(int level);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_LOG_H_
