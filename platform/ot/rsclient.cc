#include "platform/ot/rsclient.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/os/os.h"
#include "platform/ot/ot.h"

namespace ot {
namespace {

constexpr char kUsage[] = "usage: RSClient -N node -E command";

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (in) std::getline(in, line);
  return line;
}

std::vector<std::string> Subdirectories(const std::string& dir) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
  if (!d) return names;
  while (const dirent* e = readdir(d.get())) {
    std::string name = e->d_name;
    if (name != "." && name != ".." && IsDirectory(dir + "/" + name))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The root of machine node in cluster: the directory named node when there
// is one, else the first directory (in byte order) whose etc/nodename's
// first line is node.
bool FindMachine(const std::string& cluster, const std::string& node,
                 std::string* root) {
  if (IsDirectory(cluster + "/" + node)) {
    *root = cluster + "/" + node;
    return true;
  }
  for (const std::string& dir : Subdirectories(cluster)) {
    if (FirstLine(cluster + "/" + dir + "/etc/nodename") == node) {
      *root = cluster + "/" + dir;
      return true;
    }
  }
  return false;
}

int UsageError(const std::string& problem) {
  fprintf(stderr, "RSClient: %s\n%s\n", problem.c_str(), kUsage);
  return kRsExitError;
}

}  // namespace

int Fail(const std::string& message) {
  fprintf(stderr, "RSClient: %s\n", message.c_str());
  return kRsExitError;
}

bool ValidNodeName(const std::string& node) {
  if (node.empty() || node == "." || node == "..") return false;
  for (char c : node) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool ChooseTransport(const std::string& machine_root, const std::string& node,
                     std::string* sibling) {
  sibling->clear();
  if (!ValidNodeName(node)) return false;
  if (machine_root.empty()) return true;  // the real /: no cluster
  size_t slash = machine_root.rfind('/');
  std::string cluster = slash == std::string::npos ? "."
                        : slash == 0               ? "/"
                                     : machine_root.substr(0, slash);
  FindMachine(cluster, node, sibling);
  return true;
}

namespace {

// The sibling-machine transport: this process becomes the machine's shell.
int RunAsSibling(const std::string& node, const std::string& root,
                 const std::string& command) {
  IOTrace(8, "RSClient", "%s runs as %s (%s): %s", platform::NodeName().c_str(),
          node.c_str(), root.c_str(), command.c_str());
  if (setenv(RUDED_ROOT_ENV, root.c_str(), 1) != 0 || chdir(root.c_str()) != 0)
    return Fail(root + ": " + strerror(errno));
  execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
  return Fail(std::string("/bin/sh: ") + strerror(errno));
}

}  // namespace

int RunRSClient(int argc, char** argv) {
  std::string node, command;
  bool have_node = false, have_command = false;
  opterr = 0;
  for (int opt; (opt = getopt(argc, argv, ":N:E:")) != -1;) {
    if (opt == 'N') {
      node = optarg;
      have_node = true;
    } else if (opt == 'E') {
      command = optarg;
      have_command = true;
    } else if (opt == ':') {
      return UsageError(std::string("option -") + char(optopt) +
                        " needs a value");
    } else {
      return UsageError(std::string("unknown option -") + char(optopt));
    }
  }
  if (optind < argc)
    return UsageError(std::string("unexpected operand ") + argv[optind]);
  if (!have_node || !have_command)
    return UsageError(have_node ? "option -E is required"
                                : "option -N is required");
  std::string root;
  if (!ChooseTransport(platform::MachineRoot(), node, &root))
    return Fail("unknown node " + node);
  if (root.empty()) return RunOverSsh(node, command);
  return RunAsSibling(node, root, command);
}

}  // namespace ot
