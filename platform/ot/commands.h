// The object-tool commands, small programs over libot:
//
//   OTgetattr    -A alias -K attribute   one pair, keyword="value"
//   OTgetmethod  -A alias -K method      one pair, keyword="value"
//   OTgetattrs   -A alias                the attributes, a keyword stream
//   OTgetmethods -A alias                the methods, a keyword stream
//   OTgetobj     -A alias                alias="<alias>", then every pair
//   OTnextalias  -C selector [-P alias]  the next alias, one word
//   OTgetaliases -I input                matching aliases, one per line
//   OTput        -A alias -I input       puts a keyword stream
//   OTperform    -A alias -M method -I input
//                                        the method's output pairs
//
// input is "-" for standard input or a file (under the machine root).
// OTgetaliases reads "keyword=value" lines (the value is the rest of the
// line); OTput and OTperform read a parameter file: a keyword stream in
// which a closing double quote ends its line (anything else after it
// refuses the whole input).  Exit status: 0 success, 1 failure (a
// message on standard error: "<command>: <reason>"), 2 usage error.  OTgetaliases with no match prints nothing and succeeds;
// OTnextalias with no alias left fails.

#ifndef RUDED_PLATFORM_OT_COMMANDS_H_
#define RUDED_PLATFORM_OT_COMMANDS_H_

namespace ot {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs the command called name with its argument vector (argv[0] is the
// program name).  Returns the exit status.
int RunCommand(const char* name, int argc, char** argv);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_COMMANDS_H_
