#include "tools/cluster_create.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/os/os.h"
#include "platform/scsi/fabric_parser.h"
#include "platform/scsi/state.h"
#include "platform/os/unique_fd.h"

extern char** environ;

namespace simcluster {

const char kMdeviceText[] =
    "* name\tfunc\tchar\tprefix\tbmaj\tcmaj\tmin\tmax\tdma\n"
    "clone\tocrwi\ticSc\tcln\t0\t0\t1\t1\t-1\n"
    "sd01\tIocrwi\tiHbcr\tsd01\t0\t0\t1\t1\t-1\n"
    "SCSI\tIocrwi\tiHcr\tscsi\t0\t35\t1\t1\t-1\n";

namespace {

constexpr const char* kMachineDirs[] = {
    "etc",
    "etc/conf",
    "etc/conf/cf.d",
    "tmp",
    "var",
    "var/adm",
    "usr",
    "usr/ruded",
    "usr/ruded/config",
    "usr/ruded/subsys",
    "usr/ruded/subsys/scsi",
    "usr/ruded/subsys/scsi/resources",
    "usr/ruded/subsys/scsi/resources/hostadp",
    "usr/sadm",
    "usr/sadm/sysadm",
    "usr/sadm/sysadm/bin",
};

bool Error(const std::string& context, std::string* err) {
  *err = context + ": " + strerror(errno);
  return false;
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

bool WriteFile(const std::string& path, const std::string& text,
               std::string* err) {
  platform::UniqueFd fd(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd.valid() || !platform::WriteAll(fd.get(), text)) return Error(path, err);
  return true;
}

// Makes dir, or accepts it when it is an empty directory.
bool PrepareDir(const std::string& dir, std::string* err) {
  if (::mkdir(dir.c_str(), 0755) == 0) return true;
  if (errno != EEXIST) return Error(dir, err);
  UniqueDir d(opendir(dir.c_str()));
  if (!d) return Error(dir, err);
  while (struct dirent* e = readdir(d.get())) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) {
      *err = dir + ": exists and is not empty";
      return false;
    }
  }
  return true;
}

// Executables of the command directory, sorted; none when it is missing.
std::vector<std::string> Commands(const std::string& dir) {
  std::vector<std::string> names;
  UniqueDir d(dir.empty() ? nullptr : opendir(dir.c_str()));
  if (!d) return names;
  while (struct dirent* e = readdir(d.get())) {
    struct stat st;
    std::string path = dir + "/" + e->d_name;
    if (e->d_name[0] != '.' && ::stat(path.c_str(), &st) == 0 &&
        S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR) != 0)
      names.push_back(e->d_name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Runs program with its arguments and RUDED_ROOT=root; true when it exits
// with status 0.
bool RunWithRoot(const std::string& program,
                 const std::vector<std::string>& args, const std::string& root,
                 std::string* err) {
  std::vector<std::string> env{std::string(RUDED_ROOT_ENV) + "=" + root};
  for (char** e = environ; *e != nullptr; ++e)
    if (strncmp(*e, RUDED_ROOT_ENV "=", sizeof RUDED_ROOT_ENV) != 0)
      env.push_back(*e);
  std::vector<char*> envp;
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(),
                       envp.data());
  if (rc != 0) {
    errno = rc;
    return Error(program, err);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return Error(program, err);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  *err = program + " (RUDED_ROOT=" + root + ") failed with status " +
         std::to_string(WIFEXITED(status) ? WEXITSTATUS(status)
                                          : 128 + WTERMSIG(status));
  return false;
}

bool MakeMachine(const std::string& root, const std::string& name,
                 const std::string& servers,
                 const std::vector<std::string>& commands,
                 const std::string& command_dir, std::string* err) {
  if (::mkdir(root.c_str(), 0755) != 0) return Error(root, err);
  for (const char* sub : kMachineDirs) {
    std::string path = root + "/" + sub;
    if (::mkdir(path.c_str(), 0755) != 0) return Error(path, err);
  }
  // Like the real /tmp: writable by all, sticky.
  if (::chmod((root + "/tmp").c_str(), 01777) != 0)
    return Error(root + "/tmp", err);
  if (!WriteFile(root + "/etc/nodename", name + "\n", err) ||
      !WriteFile(root + "/etc/conf/cf.d/mdevice", kMdeviceText, err))
    return false;
  std::string bin = root + "/usr/sadm/sysadm/bin/";
  for (const std::string& c : commands) {
    if (::symlink((command_dir + "/" + c).c_str(), (bin + c).c_str()) != 0)
      return Error(bin + c, err);
  }
  struct stat st;
  if (::stat((bin + "OTinit").c_str(), &st) == 0)
    return RunWithRoot(bin + "OTinit", {"-S", servers}, root, err);
  return true;
}

std::string Absolute(const std::string& path) {
  char real[PATH_MAX];
  return realpath(path.c_str(), real) != nullptr ? real : path;
}

}  // namespace

bool CreateCluster(const CreateOptions& options, std::string* err) {
  std::string text;
  platform::UniqueFd file(::open(options.fabric_file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid() || !platform::ReadAll(file.get(), &text))
    return Error(options.fabric_file, err);
  scsi::Fabric fabric;
  scsi::ParseError error;
  if (!scsi::ParseFabric(text, &fabric, &error)) {
    *err = options.fabric_file + ":" + std::to_string(error.line) + ": " +
           error.message;
    return false;
  }
  if (!PrepareDir(options.dir, err)) return false;
  std::string dir = Absolute(options.dir);
  scsi::StateFile state(dir + "/fabric.state");
  if (!WriteFile(dir + "/fabric", text, err) || !state.WriteEmpty(err))
    return false;
  std::string command_dir =
      options.command_dir.empty() ? "" : Absolute(options.command_dir);
  std::vector<std::string> commands = Commands(command_dir);
  // Every machine of the cluster serves names to every other one, so that
  // the location service reaches them all without a registry file.
  std::string servers;
  for (const std::string& m : fabric.machines())
    servers += (servers.empty() ? "" : ",") + m;
  for (const std::string& m : fabric.machines())
    if (!MakeMachine(dir + "/" + m, m, servers, commands, command_dir, err))
      return false;
  return true;
}

}  // namespace simcluster
