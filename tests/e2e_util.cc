#include "tests/e2e_util.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
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

}  // namespace e2e
