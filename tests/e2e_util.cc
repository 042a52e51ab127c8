#include "tests/e2e_util.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
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

namespace e2e {
namespace {

// Waits for pid: its exit status, or 128 + the signal that killed it.
int Reap(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The whole text of a temporary file, read through a fresh descriptor.
std::string Rest(FILE* f) {
  return ReadFile("/proc/self/fd/" + std::to_string(fileno(f)));
}

}  // namespace

pid_t Start(std::vector<std::string> argv, const RunOptions& options,
            const int (&fds)[3], const std::vector<int>& ignored) {
  std::vector<char*> v;
  for (std::string& a : argv) v.push_back(a.data());
  v.push_back(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  for (const auto& [k, value] : options.env)
    value.empty() ? unsetenv(k.c_str()) : setenv(k.c_str(), value.c_str(), 1);
  for (int i = 0; i < 3; ++i) dup2(fds[i], i);
  for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM})
    signal(sig, SIG_DFL);
  for (int sig : ignored) signal(sig, SIG_IGN);
  execv(v[0], v.data());
  _exit(127);
}


ScopedTempDir::ScopedTempDir() {
  const char* base = getenv("TMPDIR");
  path_ = std::string(base && *base ? base : "/tmp") + "/e2e.XXXXXX";
  if (mkdtemp(path_.data()) == nullptr)
    throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedMachineRoot::ScopedMachineRoot() {
  for (const char* dir : {"/tmp", "/var/adm"})
    std::filesystem::create_directories(path() + dir);
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
  FILE* files[3] = {tmpfile(), tmpfile(), tmpfile()};
  if (!files[0] || !files[1] || !files[2]) throw std::runtime_error("tmpfile");
  fwrite(options.input.data(), 1, options.input.size(), files[0]);
  fflush(files[0]);
  rewind(files[0]);
  const int fds[3] = {fileno(files[0]), fileno(files[1]), fileno(files[2])};
  RunResult result;
  result.status = Reap(Start(argv, options, fds, {}));
  result.out = Rest(files[1]);
  result.err = Rest(files[2]);
  for (FILE* f : files) fclose(f);
  return result;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
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

std::string Shown(const std::string& text) {
  std::string shown;
  for (char c : text)
    shown += c == '$' ? kCspecials + std::string("/") : std::string(1, c);
  return shown;
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

std::vector<std::string> TmpNodes(const std::string& dir) {
  std::vector<std::string> found = ListDir(dir);
  std::erase_if(found,
                [](auto& name) { return name.rfind(".tmpdev", 0) != 0; });
  return found;
}

RunResult Cluster::Create(const std::string& fabric) {
  const std::string file = dir_ + ".fabric";
  WriteFile(file, fabric);
  return Run({Staged("bin/simcluster"), "create", file, dir_});
}

RunResult Cluster::Show() const {
  return Run({Staged("bin/simcluster"), "show", dir_});
}

RunResult Cluster::Cspec(const std::string& machine,
                         const std::vector<std::string>& args) const {
  return Running(*this, machine, args).Wait();
}

Running::Running(const Cluster& cluster, const std::string& machine,
                 const std::vector<std::string>& args,
                 const std::vector<int>& ignored) {
  int pipe_fds[2];
  out_ = tmpfile();
  if (out_ == nullptr || pipe2(pipe_fds, O_CLOEXEC) != 0)
    throw std::runtime_error("tmpfile or pipe");
  std::vector<std::string> argv = {Staged("sbin/qv_cspec")};
  argv.insert(argv.end(), args.begin(), args.end());
  const int fds[3] = {0, fileno(out_), pipe_fds[1]};
  RunOptions options;
  options.env["RUDED_ROOT"] = cluster.Root(machine);
  pid_ = Start(argv, options, fds, ignored);
  close(pipe_fds[1]);
  err_pipe_ = pipe_fds[0];
}

Running::~Running() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (err_pipe_ >= 0) close(err_pipe_);
  fclose(out_);
}

RunResult Running::Wait() {
  RunResult r;
  char buffer[4096];
  for (ssize_t n; (n = read(err_pipe_, buffer, sizeof buffer)) != 0;) {
    if (n > 0) r.err.append(buffer, static_cast<size_t>(n));
    if (n < 0 && errno != EINTR) break;
  }
  r.status = Reap(pid_);
  pid_ = -1;
  r.out = Rest(out_);
  return r;
}

std::string Port(int i) {
  return "0 " + std::to_string(i / 4) + " " + std::to_string(i % 4);
}

std::string InfoLine(const std::string& adapter, int target,
                     const std::string& vendor, const std::string& product,
                     const std::string& revision, const std::string& serial) {
  char fields[64];
  snprintf(fields, sizeof fields, "%-8s\001%-16s\001%-4s\001", vendor.c_str(),
           product.c_str(), revision.c_str());
  return "c" + adapter + "\001c" + adapter + "t" + std::to_string(target) +
         "d0s0\001" + fields + serial + "\n";
}

bool WaitFor(const std::function<bool()>& cond) {
  for (int i = 0; i < 2000; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return cond();
}

}  // namespace e2e
