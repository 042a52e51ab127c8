#include "tests/e2e_util.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

std::vector<std::string> MakeEnv(const RunOptions& options) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [k, v] : options.env) {
    if (v.empty())
      env.erase(k);
    else
      env[k] = v;
  }
  std::vector<std::string> out;
  for (const auto& [k, v] : env) out.push_back(k + "=" + v);
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> p;
  for (auto& w : words) p.push_back(w.data());
  p.push_back(nullptr);
  return p;
}

std::string Rest(FILE* f) {
  std::string text;
  rewind(f);
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  return text;
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/e2e.XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr)
    throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
  path_ = tmpl;
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedMachineRoot::ScopedMachineRoot() {
  std::filesystem::create_directories(path() + "/tmp");
  std::filesystem::create_directories(path() + "/var/adm");
  setenv("RUDED_ROOT", path().c_str(), 1);
  unsetenv("OAM_TRACE");
  unsetenv("OAM_DEVTAB");
}

ScopedMachineRoot::~ScopedMachineRoot() {
  for (const char* name : {"RUDED_ROOT", "OAM_TRACE", "OAM_DEVTAB"})
    unsetenv(name);
}

std::vector<std::string> ScopedMachineRoot::LogLines(
    const std::string& prefix) const {
  return Lines(ReadFile(Under("/var/adm/oam.log")), prefix);
}

std::string Staged(const std::string& relative) {
  return std::string(QV_STAGE_DIR) + "/" + relative;
}

RunResult Run(const std::vector<std::string>& argv, const RunOptions& options) {
  // The streams are unlinked temporary files, so no pipe can fill up while
  // the program runs.
  FILE* files[3] = {tmpfile(), tmpfile(), tmpfile()};
  if (!files[0] || !files[1] || !files[2]) throw std::runtime_error("tmpfile");
  fwrite(options.input.data(), 1, options.input.size(), files[0]);
  fflush(files[0]);
  rewind(files[0]);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  for (int i = 0; i < 3; ++i) {
    posix_spawn_file_actions_adddup2(&fa, fileno(files[i]), i);
    posix_spawn_file_actions_addclose(&fa, fileno(files[i]));
  }
  if (!options.cwd.empty())
    posix_spawn_file_actions_addchdir_np(&fa, options.cwd.c_str());
  std::vector<std::string> args = argv, env = MakeEnv(options);
  auto argp = Pointers(args), envp = Pointers(env);
  pid_t pid;
  int rc = posix_spawn(&pid, args[0].c_str(), &fa, nullptr, argp.data(),
                       envp.data());
  posix_spawn_file_actions_destroy(&fa);
  RunResult result;
  if (rc == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status)
                                      : 128 + WTERMSIG(status);
    result.out = Rest(files[1]);
    result.err = Rest(files[2]);
  }
  for (FILE* f : files) fclose(f);
  if (rc != 0)
    throw std::runtime_error("posix_spawn " + args[0] + ": " + strerror(rc));
  return result;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(
      std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(path, ec))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Lines(const std::string& text,
                               const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  return lines;
}

uint32_t Dev(unsigned major, unsigned bus, unsigned cntl, unsigned scsi_bus,
             unsigned target) {
  return major << 22 | bus << 19 | cntl << 16 | scsi_bus << 14 | target << 4;
}

void MakeNode(const std::string& path, uint32_t dev) {
  std::filesystem::create_directories(
      std::filesystem::path(path).parent_path());
  if (mknod(path.c_str(), S_IFCHR | 0400, makedev(dev >> 20, dev & 0xFFFFF)))
    throw std::runtime_error("mknod " + path);
}

uint32_t NodeDev(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  return static_cast<uint32_t>(major(st.st_rdev)) << 20 |
         (static_cast<uint32_t>(minor(st.st_rdev)) & 0xFFFFF);
}

RunResult RunCspec(const std::string& root,
                   const std::vector<std::string>& args) {
  std::vector<std::string> argv = {Staged("sbin/qv_cspec")};
  argv.insert(argv.end(), args.begin(), args.end());
  RunOptions options;
  options.env["RUDED_ROOT"] = root;
  return Run(argv, options);
}

int CountPrefix(const std::string& text, const std::string& prefix) {
  return static_cast<int>(Lines(text, prefix).size());
}

std::vector<std::string> TmpNodes(const std::string& dir) {
  std::vector<std::string> found;
  for (const std::string& name : ListDir(dir)) {
    if (name.rfind(".tmpdev", 0) == 0) found.push_back(name);
  }
  return found;
}

void MakeBareMachine(const std::string& root, const std::string& node,
                     const std::string& mdevice) {
  WriteFile(root + "/etc/nodename", node + "\n");
  WriteFile(root + "/etc/conf/cf.d/mdevice", mdevice);
  std::filesystem::create_directories(root + kCspecials);
}

namespace {

std::string Padded(std::string text, size_t width) {
  text.resize(width < text.size() ? text.size() : width, ' ');
  return text;
}

}  // namespace

RunResult Cluster::Create(const std::string& fabric) {
  const std::string file = dir_ + ".fabric";
  WriteFile(file, fabric);
  return Run({Staged("bin/simcluster"), "create", file, dir_});
}

RunResult Cluster::Show() const {
  return Run({Staged("bin/simcluster"), "show", dir_});
}

std::string Cluster::Root(const std::string& machine) const {
  return dir_ + "/" + machine;
}

std::string Cluster::Hostadp(const std::string& machine) const {
  return Root(machine) + kHostadp;
}

std::string Cluster::Cspecials(const std::string& machine) const {
  return Root(machine) + kCspecials;
}

std::string Cluster::DeviceInfo(const std::string& machine) const {
  return ReadFile(Root(machine) + kDeviceInfo);
}

RunResult Cluster::Cspec(const std::string& machine,
                         const std::vector<std::string>& args) const {
  return RunCspec(Root(machine), args);
}

Running::Running(const Cluster& cluster, const std::string& machine,
                 const std::vector<std::string>& args, Err err,
                 const std::vector<int>& ignored) {
  static int serial = 0;
  const std::string base = cluster.dir() + ".run" + std::to_string(++serial);
  out_file_ = base + ".out";
  err_file_ = err == Err::kFile ? base + ".err" : "";
  int pipe_fds[2] = {-1, -1};
  if (err == Err::kPipe && pipe(pipe_fds) != 0) return;
  std::vector<std::string> argv = {Staged("sbin/qv_cspec")};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string root = cluster.Root(machine);
  pid_ = fork();
  if (pid_ == 0) {
    setenv("RUDED_ROOT", root.c_str(), 1);
    int out = open(out_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int errfd = err == Err::kPipe ? pipe_fds[1]
                                  : open(err_file_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || errfd < 0) _exit(127);
    dup2(out, 1);
    dup2(errfd, 2);
    // Whatever the test's own caller ignores, the run starts with the
    // default actions but for those asked for.
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM})
      signal(sig, SIG_DFL);
    for (int sig : ignored) signal(sig, SIG_IGN);
    std::vector<char*> v;
    for (std::string& a : argv) v.push_back(a.data());
    v.push_back(nullptr);
    execv(v[0], v.data());
    _exit(127);
  }
  if (err == Err::kPipe) {
    close(pipe_fds[1]);
    err_pipe_ = pipe_fds[0];
  }
}

Running::~Running() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (err_pipe_ >= 0) close(err_pipe_);
}

RunResult Running::Wait() {
  RunResult r;
  if (err_pipe_ >= 0) {
    char buffer[4096];
    for (ssize_t n; (n = read(err_pipe_, buffer, sizeof buffer)) != 0;) {
      if (n > 0) r.err.append(buffer, static_cast<size_t>(n));
      if (n < 0 && errno != EINTR) break;
    }
    close(err_pipe_);
    err_pipe_ = -1;
  }
  int status = 0;
  if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  pid_ = -1;
  r.out = ReadFile(out_file_);
  if (!err_file_.empty()) r.err = ReadFile(err_file_);
  return r;
}

std::string AdapterText(int bus, int controller, int scsi_bus) {
  static const char* const kFirst[] = {"", "1", "2", "3", "4", "5", "6", "7"};
  static const char* const kSecond[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
  return std::string(kFirst[bus]) +
         (bus != 0 ? kSecond[controller] : kFirst[controller]) +
         std::to_string(scsi_bus);
}

std::string Port(int i) {
  return "0 " + std::to_string(i / 4) + " " + std::to_string(i % 4);
}

std::string Adapter(int i) { return AdapterText(0, i / 4, i % 4); }

std::string SharedBuses(int count, const std::vector<int>& disks,
                        bool stamped) {
  std::string fabric;
  for (int i = 0; i < count; ++i) {
    fabric += "bus s" + std::to_string(i) + "\n  adapter nodeA " + Port(i) +
              " 7\n  adapter nodeB " + Port(i) + " 6" +
              (stamped ? " stamp=c0:nodeB" : "") + "\n";
    for (int t : disks)
      fabric += "  disk " + std::to_string(t) + " SEAGATE ST1 0001 serial=S" +
                std::to_string(i) + "T" + std::to_string(t) + "\n";
  }
  return fabric;
}

namespace {

const std::vector<int> kLongProbeDisks = {0, 1,  2,  3,  4,  5,  8,
                                          9, 10, 11, 12, 13, 14, 15};
constexpr int kLongProbeBuses = 8;

}  // namespace

std::string LongProbeFabric() {
  std::string fabric = SharedBuses(kLongProbeBuses, kLongProbeDisks, true);
  for (int bus = 1; bus <= 4; ++bus)
    for (int c = 0; c < 8; ++c)
      for (int s = 0; s < 4; ++s)
        fabric += "bus l" + AdapterText(bus, c, s) + "\n  adapter nodeA " +
                  std::to_string(bus) + " " + std::to_string(c) + " " +
                  std::to_string(s) + " 15\n";
  return fabric;
}

std::string LongProbeInfo() {
  std::string info;
  for (int i = 0; i < kLongProbeBuses; ++i)
    for (int t : kLongProbeDisks)
      info += InfoLine(Adapter(i), t, "SEAGATE", "ST1", "0001",
                       "S" + std::to_string(i) + "T" + std::to_string(t));
  return info;
}

bool LockedByOther(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  bool locked = fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  close(fd);
  return locked;
}

bool WaitFor(const std::function<bool()>& cond) {
  for (int i = 0; i < 2000; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return cond();
}

testing::AssertionResult SameLines(const std::string& actual,
                                   const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  const std::vector<std::string> a = Lines(actual);
  const std::vector<std::string> e = Lines(expected);
  size_t i = 0;
  while (i < a.size() && i < e.size() && a[i] == e[i]) ++i;
  auto shown = [](const std::vector<std::string>& lines, size_t at) {
    return at < lines.size() ? testing::PrintToString(lines[at])
                             : std::string("(none)");
  };
  return testing::AssertionFailure()
         << a.size() << " lines, expected " << e.size() << "; line " << i + 1
         << " is " << shown(a, i) << ", expected " << shown(e, i);
}

std::string InfoLine(const std::string& adapter, int target,
                     const std::string& vendor, const std::string& product,
                     const std::string& revision, const std::string& serial) {
  const char kSep = '\001';
  return "c" + adapter + kSep + "c" + adapter + "t" + std::to_string(target) +
         "d0s0" + kSep + Padded(vendor, 8) + kSep + Padded(product, 16) + kSep +
         Padded(revision, 4) + kSep + serial + "\n";
}

}  // namespace e2e
