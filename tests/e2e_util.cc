#include "tests/e2e_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace e2e {

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

std::string Staged(const std::string& relative) {
  return std::string(QV_STAGE_DIR) + "/" + relative;
}

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

}  // namespace

RunResult Run(const std::vector<std::string>& argv, const RunOptions& options) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  if (!options.cwd.empty())
    posix_spawn_file_actions_addchdir_np(&fa, options.cwd.c_str());
  std::vector<std::string> args = argv;
  std::vector<std::string> env = MakeEnv(options);
  auto argp = Pointers(args);
  auto envp = Pointers(env);
  pid_t pid;
  int rc = posix_spawn(&pid, args[0].c_str(), &fa, nullptr, argp.data(),
                       envp.data());
  posix_spawn_file_actions_destroy(&fa);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    close(err[0]);
    throw std::runtime_error("posix_spawn " + args[0] + ": " + strerror(rc));
  }
  // Feed the input and drain both outputs together so no pipe fills up.
  RunResult result;
  size_t written = 0;
  int in_fd = in[1];
  if (options.input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  signal(SIGPIPE, SIG_IGN);
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in_fd, POLLOUT, 0}};
    poll(fds, in_fd >= 0 ? 3 : 2, -1);
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buf, n);
      } else {
        (i == 0 ? out_open : err_open) = false;
        fds[i].fd = -1;
      }
    }
    if (!out_open) out[0] = out[0] >= 0 ? (close(out[0]), -1) : -1;
    if (!err_open) err[0] = err[0] >= 0 ? (close(err[0]), -1) : -1;
    if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = write(in_fd, options.input.data() + written,
                        options.input.size() - written);
      if (n > 0) written += n;
      if (n <= 0 || written == options.input.size()) {
        close(in_fd);
        in_fd = -1;
      }
    }
    if (!out_open && !err_open) break;
    if (out[0] < 0 && err[0] < 0) break;
  }
  if (in_fd >= 0) close(in_fd);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status)
                                    : 128 + WTERMSIG(status);
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
  DIR* d = opendir(path.c_str());
  if (d == nullptr) return names;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace e2e
