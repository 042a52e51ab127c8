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

int Error(const std::string& message) {
  fprintf(stderr, "RSClient: %s\n", message.c_str());
  return kRsExitError;
}

int UsageError(const std::string& problem) {
  fprintf(stderr, "RSClient: %s\n%s\n", problem.c_str(), kUsage);
  return kRsExitError;
}

}  // namespace

bool ValidNodeName(const std::string& node) {
  if (node.empty() || node == "." || node == "..") return false;
  for (char c : node) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool FindMachine(const std::string& cluster, const std::string& node,
                 std::string* root, std::string* err) {
  if (!ValidNodeName(node)) {
    *err = "unknown node " + node;
    return false;
  }
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
  *err = "unknown node " + node;
  return false;
}

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
  std::string cluster_root = platform::MachineRoot();
  if (cluster_root.empty())
    return Error("RUDED_ROOT is not set: this machine is in no cluster");
  size_t slash = cluster_root.rfind('/');
  std::string cluster = slash == std::string::npos ? "."
                        : slash == 0               ? "/"
                                     : cluster_root.substr(0, slash);
  std::string root, err;
  if (!FindMachine(cluster, node, &root, &err)) return Error(err);
  IOTrace(8, "RSClient", "%s runs as %s (%s): %s", platform::NodeName().c_str(),
          node.c_str(), root.c_str(), command.c_str());
  if (setenv(RUDED_ROOT_ENV, root.c_str(), 1) != 0 || chdir(root.c_str()) != 0)
    return Error(root + ": " + strerror(errno));
  execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
  return Error(std::string("/bin/sh: ") + strerror(errno));
}

}  // namespace ot
