#include "tests/robust_cluster.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/cspec_e2e.h"

namespace robust {
namespace {

std::string Padded(std::string text, size_t width) {
  text.resize(width < text.size() ? text.size() : width, ' ');
  return text;
}

}  // namespace

e2e::RunResult Cluster::Create(const std::string& fabric) {
  const std::string file = dir_ + ".fabric";
  e2e::WriteFile(file, fabric);
  return e2e::Run({e2e::Staged("bin/simcluster"), "create", file, dir_});
}

e2e::RunResult Cluster::Show() const {
  return e2e::Run({e2e::Staged("bin/simcluster"), "show", dir_});
}

std::string Cluster::Root(const std::string& machine) const {
  return dir_ + "/" + machine;
}

std::string Cluster::Hostadp(const std::string& machine) const {
  return Root(machine) + cspec_e2e::kHostadp;
}

std::string Cluster::Cspecials(const std::string& machine) const {
  return Root(machine) + cspec_e2e::kCspecials;
}

std::string Cluster::DeviceInfo(const std::string& machine) const {
  return e2e::ReadFile(Root(machine) + cspec_e2e::kDeviceInfo);
}

e2e::RunResult Cluster::Cspec(const std::string& machine,
                              const std::vector<std::string>& args) const {
  return cspec_e2e::RunCspec(Root(machine), args);
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
  std::vector<std::string> argv = {e2e::Staged("sbin/qv_cspec")};
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

e2e::RunResult Running::Wait() {
  e2e::RunResult r;
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
  r.out = e2e::ReadFile(out_file_);
  if (!err_file_.empty()) r.err = e2e::ReadFile(err_file_);
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
  const std::vector<std::string> a = cspec_e2e::Lines(actual);
  const std::vector<std::string> e = cspec_e2e::Lines(expected);
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

}  // namespace robust
