// RSClient, the remote-services client: runs a command as another machine
// of the same simulated cluster.
//
//   RSClient -N node -E command
//
// The cluster is the directory above this machine's root (RUDED_ROOT).
// The node is the machine directory <cluster>/<node>, or else the machine
// directory whose etc/nodename names it.  The command runs as
//   /bin/sh -c <command>
// with RUDED_ROOT=<that machine's root>, in that root's top directory,
// with this process's standard input, output, error and other environment;
// RSClient's exit status is the command's.  RSClient's own failures
// (usage, no machine root, unknown node, the shell cannot be run) print a
// message on standard error and exit with status 255, which is what a
// remote shell reports when it cannot reach a host.

#ifndef RUDED_PLATFORM_OT_RSCLIENT_H_
#define RUDED_PLATFORM_OT_RSCLIENT_H_

#include <string>

namespace ot {

inline constexpr int kRsExitError = 255;

// A node name is 1 or more letters, digits, ".", "_" or "-" and is
// neither "." nor "..".
bool ValidNodeName(const std::string& node);

// The root of machine node in cluster: the directory named node when there
// is one, else the first directory (in byte order) whose etc/nodename's
// first line is node.  Returns false with a message in *err.
bool FindMachine(const std::string& cluster, const std::string& node,
                 std::string* root, std::string* err);

// The whole command: parses argv, finds the machine and replaces this
// process with the shell.  Returns only on failure, with the exit status.
int RunRSClient(int argc, char** argv);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_RSCLIENT_H_
