#include "platform/ot/method.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <vector>

#include "platform/os/os.h"
#include "platform/os/unique_fd.h"
#include "platform/ot/api_util.h"
#include "platform/ot/fs.h"

extern char** environ;

namespace ot {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

struct SpawnActions {
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t actions;
};

bool IsShellName(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

// The caller's environment with the method's own variables set over it.
std::vector<std::string> MethodEnvironment(const std::string& alias,
                                           const std::string& method,
                                           const Pairs& params) {
  std::map<std::string, std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos)
      env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  // The device table is always passed on: the default when the caller has
  // none, as for a far command.
  env.try_emplace("OAM_DEVTAB", DeviceTable());
  env["OT_ALIAS"] = alias;
  env["OT_METHOD"] = method;
  for (const Pair& p : params)
    if (IsShellName(p.keyword)) env["OT_PARAM_" + p.keyword] = p.value;
  std::vector<std::string> out;
  for (const auto& [name, value] : env) out.push_back(name + "=" + value);
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> p;
  for (std::string& w : words) p.push_back(w.data());
  p.push_back(nullptr);
  return p;
}

// An anonymous file holding the parameters as a keyword stream, positioned
// at its start, to become the method's standard input.
bool ParameterInput(const Pairs& params, platform::UniqueFd* input, std::string* err) {
  platform::UniqueFd fd(memfd_create("ot-params", MFD_CLOEXEC));
  if (!fd.valid()) {
    *err = SysError("memfd_create", "parameters", errno);
    return false;
  }
  errno = 0;
  FilePtr out(fdopen(dup(fd.get()), "w"));
  if (!out || !WritePairs(out.get(), params) || fflush(out.get()) != 0 ||
      lseek(fd.get(), 0, SEEK_SET) != 0) {
    *err = SysError("write", "parameters", errno ? errno : EIO);
    return false;
  }
  *input = std::move(fd);
  return true;
}

std::string DescribeStatus(int status) {
  if (status == -1) return "could not be waited for";
  if (WIFEXITED(status))
    return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "was killed by signal " + std::to_string(WTERMSIG(status));
  return "ended with wait status " + std::to_string(status);
}

// Reads the method's output, then drains what a malformed stream left so
// that the method never blocks on a full pipe while we wait for it.
bool ReadOutput(int fd, const std::string& what, Pairs* output,
                std::string* err) {
  FilePtr in(fdopen(fd, "r"));
  if (!in) {
    close(fd);
    *err = SysError("fdopen", what, errno);
    return false;
  }
  bool ok = ReadPairs(in.get(), what, output, err);
  char buf[4096];
  while (fread(buf, 1, sizeof buf, in.get()) > 0) {
  }
  return ok;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace

bool IsMethodName(std::string_view keyword) {
  std::string_view prefix(kMethodPrefix);
  return keyword.size() > prefix.size() &&
         keyword.substr(0, prefix.size()) == prefix;
}

Status RunMethod(const std::string& alias, const std::string& method,
                 const std::string& command, const Pairs& params, Pairs* output,
                 std::string* err) {
  for (const Pair& p : params)
    if (!ValidPair(p, err)) return Status::kInvalid;
  platform::UniqueFd input;
  if (!ParameterInput(params, &input, err)) return Status::kFailed;
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    *err = SysError("pipe", method, errno);
    return Status::kFailed;
  }
  platform::UniqueFd read_end(pipe_fds[0]), write_end(pipe_fds[1]);
  SpawnActions fa;
  posix_spawn_file_actions_adddup2(&fa.actions, input.get(), 0);
  posix_spawn_file_actions_adddup2(&fa.actions, write_end.get(), 1);
  std::string top = platform::MapPath("/");
  posix_spawn_file_actions_addchdir_np(&fa.actions, top.c_str());
  std::vector<std::string> args = {"/bin/sh", "-c", command};
  std::vector<std::string> env = MethodEnvironment(alias, method, params);
  auto argp = Pointers(args);
  auto envp = Pointers(env);
  pid_t pid;
  int rc = posix_spawn(&pid, "/bin/sh", &fa.actions, nullptr, argp.data(),
                       envp.data());
  if (rc != 0) {
    *err = SysError("posix_spawn", "/bin/sh", rc);
    return Status::kFailed;
  }
  write_end.Reset();
  std::string what = "output of " + method + " of " + alias;
  bool read_ok = ReadOutput(read_end.Release(), what, output, err);
  int status = WaitFor(pid);
  if (status != 0) {
    *err = "method " + method + " of " + alias + " " + DescribeStatus(status);
    return Status::kFailed;
  }
  return read_ok ? Status::kOk : Status::kFailed;
}

}  // namespace ot
