// Helpers for end-to-end tests: a private temporary directory, running the
// staged programs as separate processes, and reading what they left behind.

#ifndef RUDED_TESTS_E2E_UTIL_H_
#define RUDED_TESTS_E2E_UTIL_H_

#include <map>
#include <string>
#include <vector>

namespace e2e {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct RunResult {
  int status = -1;  // exit status; 128 + signal number when killed
  std::string out;
  std::string err;
};

struct RunOptions {
  std::map<std::string, std::string> env;  // set (or, when empty, unset)
  std::string cwd;                         // "" keeps the test's directory
  std::string input;                       // fed to standard input
};

// Path of a program staged in the build tree, e.g. Staged("sbin/qv_cspec").
std::string Staged(const std::string& relative);

// Runs argv[0] (a path) with the arguments, waits and captures both streams.
RunResult Run(const std::vector<std::string>& argv,
              const RunOptions& options = {});

std::string ReadFile(const std::string& path);  // "" when unreadable
void WriteFile(const std::string& path, const std::string& text);
bool Exists(const std::string& path);  // lstat succeeds

// Sorted names of a directory's entries ("." and ".." left out).
std::vector<std::string> ListDir(const std::string& path);

}  // namespace e2e

#endif  // RUDED_TESTS_E2E_UTIL_H_
