// The one test utility of the project: private temporary directories and
// machine roots, running the staged programs as separate processes, reading
// what they left behind, and the simulated cluster every end-to-end test
// runs on (made by the staged simcluster from fabric text).

#ifndef RUDED_TESTS_E2E_UTIL_H_
#define RUDED_TESTS_E2E_UTIL_H_

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
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
  std::string input;                       // fed to standard input
};

// Path of a program staged in the build tree, e.g. Staged("sbin/qv_cspec").
std::string Staged(const std::string& relative);

// Starts argv[0] (a path) with standard input, output and error on fds, in
// the environment options give (their input aside) and the signals in
// ignored ignored; whatever the test's own caller ignores, the rest start at
// their defaults.  The caller waits for the pid.
pid_t Start(std::vector<std::string> argv, const RunOptions& options,
            const int (&fds)[3], const std::vector<int>& ignored = {});

// Runs argv[0] (a path) with the arguments, waits and captures both streams
// (in files, so that no pipe fills up while it runs).
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

// qv_cspec's files and device numbers.

inline constexpr char kHostadp[] = "/usr/ruded/subsys/scsi/resources/hostadp";
inline constexpr char kCspecials[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/cspecials";
inline constexpr char kDeviceInfo[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/device_info";

// text with each $ replaced by the cspecials directory and a slash: node
// names as messages show them ("$c10" for the initiator node c10).
std::string Shown(const std::string& text);

// The product's device number: major, bus, controller, SCSI bus, target.
uint32_t Dev(unsigned major, unsigned bus, unsigned cntl, unsigned scsi_bus,
             unsigned target);

// Makes a character special node (and its directory) for a product device
// number, as the machine root's platform does (makedev(dev >> 20, dev &
// 0xFFFFF)).
void MakeNode(const std::string& path, uint32_t dev);

// The product device number of the node at path; 0 when it is none.
uint32_t NodeDev(const std::string& path);

// Names in a directory that begin with ".tmpdev".
std::vector<std::string> TmpNodes(const std::string& dir);

// A simulated cluster, made by the staged simcluster.
class Cluster {
 public:
  // The cluster lives in dir, which must not exist yet.
  explicit Cluster(std::string dir) : dir_(std::move(dir)) {}

  // Writes the fabric beside the cluster and runs simcluster create.
  RunResult Create(const std::string& fabric);
  // simcluster show.
  RunResult Show() const;

  const std::string& dir() const { return dir_; }
  std::string Root(const std::string& m) const { return dir_ + "/" + m; }
  std::string Hostadp(const std::string& m) const { return Root(m) + kHostadp; }
  std::string Cspecials(const std::string& m) const {
    return Root(m) + kCspecials;
  }
  // The text of its device_info.
  std::string DeviceInfo(const std::string& m) const {
    return ReadFile(Root(m) + kDeviceInfo);
  }

  // The staged qv_cspec with args, as machine.
  RunResult Cspec(const std::string& machine,
                  const std::vector<std::string>& args) const;

 private:
  std::string dir_;
};

// The staged qv_cspec started as a machine of a cluster and left running,
// so that a test can run others beside it or signal it.  Its standard
// error goes to a pipe that Wait reads (left unread, it stops a -d run once
// full).  A run still going when the object goes is killed.
class Running {
 public:
  // ignored: signals the run starts with ignored, as under nohup.
  Running(const Cluster& cluster, const std::string& machine,
          const std::vector<std::string>& args,
          const std::vector<int>& ignored = {});
  ~Running();
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

  pid_t pid() const { return pid_; }
  // The name of its temporary probe node, in its machine's hostadp/.
  std::string TmpNode() const { return ".tmpdev" + std::to_string(pid_); }

  // Reads the error pipe to its end, then waits.
  RunResult Wait();

 private:
  pid_t pid_ = -1;
  int err_pipe_ = -1;
  FILE* out_ = nullptr;
};

// Port i of a machine as a fabric line writes it: bus 0, controller
// i / 4, SCSI bus i % 4 (i < 32).
std::string Port(int i);

// The device_info line of a disk: its bus's adapter, its target and its
// INQUIRY fields as given (padded here), separated by Control-A.
std::string InfoLine(const std::string& adapter, int target,
                     const std::string& vendor, const std::string& product,
                     const std::string& revision, const std::string& serial);

// Polls cond every 5 ms for up to 10 s; returns its last answer.
bool WaitFor(const std::function<bool()>& cond);

}  // namespace e2e

#endif  // RUDED_TESTS_E2E_UTIL_H_
