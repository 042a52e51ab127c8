// The one test utility of the project: private temporary directories and
// machine roots, running the staged programs as separate processes, and
// reading what they left behind.

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

// A ScopedTempDir that is this process's machine root while it lives:
// RUDED_ROOT names it, OAM_TRACE and OAM_DEVTAB are unset, and tmp/ and
// var/adm/ exist.  Destroying it unsets all three again.
class ScopedMachineRoot : public ScopedTempDir {
 public:
  ScopedMachineRoot();
  ~ScopedMachineRoot();
  // The host path of an unmapped path on this machine.
  std::string Under(const std::string& unmapped) const {
    return path() + unmapped;
  }
  // The entries of the machine's log that begin with prefix.
  std::vector<std::string> LogLines(const std::string& prefix = "") const;
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
// Writes text into the file at path, making its directories.
void WriteFile(const std::string& path, const std::string& text);
bool Exists(const std::string& path);  // lstat succeeds

// Sorted names of a directory's entries; none when it cannot be read.
std::vector<std::string> ListDir(const std::string& path);

// The lines of text that begin with prefix, each without its newline.
std::vector<std::string> Lines(const std::string& text,
                               const std::string& prefix = "");

}  // namespace e2e

#endif  // RUDED_TESTS_E2E_UTIL_H_
