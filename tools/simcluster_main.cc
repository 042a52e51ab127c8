// simcluster: builds and inspects simulated SCSI clusters (see
// simcluster(1)).  Exit status 0 on success, 1 on failure, 2 on a usage
// error.

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "tools/cluster_create.h"
#include "tools/cluster_show.h"

namespace {

constexpr char kUsage[] =
    "usage: simcluster create <fabric-file> <dir>\n"
    "       simcluster show <dir>\n";

int Usage(const char* problem) {
  fprintf(stderr, "simcluster: %s\n%s", problem, kUsage);
  return 2;
}

int Failed(const std::string& err) {
  fprintf(stderr, "simcluster: %s\n", err.c_str());
  return 1;
}

// The object-tool command directory beside this program's own directory,
// as staged and installed: <bindir>/../QV_OT_BIN_SUBDIR.
std::string CommandDir() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/')) + "/../" QV_OT_BIN_SUBDIR;
}

int Create(int argc, char** argv) {
  if (argc != 4) return Usage("create takes a fabric file and a directory");
  simcluster::CreateOptions options;
  options.fabric_file = argv[2];
  options.dir = argv[3];
  options.command_dir = CommandDir();
  std::string err;
  return simcluster::CreateCluster(options, &err) ? 0 : Failed(err);
}

int Show(int argc, char** argv) {
  if (argc != 3) return Usage("show takes a cluster directory");
  std::string out, err;
  if (!simcluster::ShowCluster(argv[2], &out, &err)) return Failed(err);
  fputs(out.c_str(), stdout);
  return fflush(stdout) == 0 ? 0 : Failed(std::string("stdout: ") + strerror(errno));
}

struct Command {
  std::string_view name;
  int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {{"create", Create}, {"show", Show}};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  std::string_view name = argv[1];
  if (name == "-h" || name == "--help") {
    fputs(kUsage, stdout);
    return 0;
  }
  for (const Command& c : kCommands)
    if (c.name == name) return c.run(argc, argv);
  return Usage(("unknown command \"" + std::string(name) + "\"").c_str());
}
