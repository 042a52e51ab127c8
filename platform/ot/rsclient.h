// RSClient, the remote-services client: runs a command on another node.
//
//   RSClient -N node -E command
//
// Two transports, each in one place:
//
// - A sibling machine (rsclient.cc).  When this machine has a root
//   (RUDED_ROOT) and the node is a machine of the same simulated cluster
//   (the directory above that root), the command runs as
//     /bin/sh -c <command>
//   with RUDED_ROOT=<that machine's root>, in that root's top directory.
//   The node is the machine directory <cluster>/<node>, or else the
//   machine directory whose etc/nodename names it.
// - OpenSSH (rsclient_ssh.cc), for every other node:
//     <RS_SSH words, or: ssh -o ConnectTimeout=10>
//         -o BatchMode=yes -T -- <node> <command>
//   The node is the destination, so ssh_config decides user, address,
//   port and keys; the command is one operand for the far login shell.
//
// Either way the command has this process's standard input, output and
// error, and RSClient's exit status is the command's (over ssh: ssh's,
// which is the far command's, or 255 when ssh cannot connect or
// authenticate).  RSClient's own failures (usage, a name that is no node
// name, a shell or ssh that cannot be run, RS_SSH that cannot be split)
// print a message on standard error and exit with status 255, which is
// what a remote shell reports when it cannot reach a host.

#ifndef RUDED_PLATFORM_OT_RSCLIENT_H_
#define RUDED_PLATFORM_OT_RSCLIENT_H_

#include <string>
#include <vector>

namespace ot {

inline constexpr int kRsExitError = 255;

// The variable that holds the ssh command line, and the connect timeout
// (seconds) that RSClient gives ssh when the variable is unset.
inline constexpr char kRsSshEnv[] = "RS_SSH";
inline constexpr int kRsConnectTimeout = 10;

// Prints "RSClient: <message>" on standard error; returns 255.
int Fail(const std::string& message);

// A node name is 1 or more letters, digits, ".", "_" or "-" and is
// neither "." nor "..".
bool ValidNodeName(const std::string& node);

// Where a command for node goes.  machine_root is this machine's root
// ("" for the real /).  A sibling machine of the cluster gives true with
// its root in *sibling; any other node gives true with *sibling empty
// (OpenSSH).  A name that is no node name gives false.
bool ChooseTransport(const std::string& machine_root, const std::string& node,
                     std::string* sibling);

// The argument vector that runs command on node over OpenSSH.  rs_ssh is
// the value of RS_SSH (nullptr when unset), split into words as a shell
// would (quotes and backslashes; variables and "~" expand; command
// substitution is refused).  Unset or blank, it is "ssh" with
// -o ConnectTimeout=10; when it is set, the connect timeout is its own or
// its ssh_config's.  Returns false with a message in *err when rs_ssh
// cannot be split.
bool SshArgv(const char* rs_ssh, const std::string& node,
             const std::string& command, std::vector<std::string>* argv,
             std::string* err);

// Replaces this process with ssh running command on node.  Returns only on
// failure, with RSClient's exit status (255) after a message.
int RunOverSsh(const std::string& node, const std::string& command);

// The whole command: parses argv, chooses the transport and replaces this
// process with the shell or ssh.  Returns only on failure, with the exit
// status.
int RunRSClient(int argc, char** argv);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_RSCLIENT_H_
