// A simulated cluster for the robustness tests of qv_cspec: made from fabric
// text by the staged simcluster in a directory of the test's, with the
// staged qv_cspec run as any of its machines.

#ifndef RUDED_TESTS_ROBUST_CLUSTER_H_
#define RUDED_TESTS_ROBUST_CLUSTER_H_

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e_util.h"

namespace robust {

class Cluster {
 public:
  // The cluster lives in dir, which must not exist yet.
  explicit Cluster(std::string dir) : dir_(std::move(dir)) {}

  // Writes the fabric beside the cluster and runs simcluster create.
  e2e::RunResult Create(const std::string& fabric);
  // simcluster show.
  e2e::RunResult Show() const;

  const std::string& dir() const { return dir_; }
  std::string Root(const std::string& machine) const;
  std::string Hostadp(const std::string& machine) const;
  std::string Cspecials(const std::string& machine) const;
  std::string DeviceInfo(const std::string& machine) const;  // its text

  // The staged qv_cspec with args, as machine.
  e2e::RunResult Cspec(const std::string& machine,
                       const std::vector<std::string>& args) const;

 private:
  std::string dir_;
};

// The staged qv_cspec started as a machine of a cluster and left running,
// so that a test can run others beside it or signal it.  Its standard
// output goes to a file; its standard error to a file, or to a pipe that
// the test reads (or leaves unread, which stops a -d run once the pipe is
// full).  A run still going when the object goes is killed.
class Running {
 public:
  enum class Err { kFile, kPipe };
  // ignored: signals the run starts with ignored, as under nohup.
  Running(const Cluster& cluster, const std::string& machine,
          const std::vector<std::string>& args, Err err = Err::kFile,
          const std::vector<int>& ignored = {});
  ~Running();
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

  pid_t pid() const { return pid_; }
  // The name of its temporary probe node, in its machine's hostadp/.
  std::string TmpNode() const { return ".tmpdev" + std::to_string(pid_); }

  // Reads the error pipe to its end, then waits.  status as e2e::Run
  // gives it (128 + the signal's number when killed).
  e2e::RunResult Wait();

 private:
  pid_t pid_ = -1;
  int err_pipe_ = -1;
  std::string out_file_, err_file_;
};

// An adapter as node names write it (bus 0..7, controller 0..7, SCSI bus
// 0..3): bus 0, controller 1, SCSI bus 0 is "10"; bus 1, controller 0 "100".
std::string AdapterText(int bus, int controller, int scsi_bus);

// Port i of a machine as a fabric line writes it, and as node names
// write it: bus 0, controller i / 4, SCSI bus i % 4 (i < 32).
std::string Port(int i);
std::string Adapter(int i);

// Buses s0, s1, ... shared by nodeA's port i (target 7) and nodeB's port i
// (target 6), each with disks "SEAGATE ST1 0001" at the given targets,
// serial S<bus>T<target>; nodeB's areas preset when stamped.
std::string SharedBuses(int count, const std::vector<int>& disks, bool stamped);

// A fabric whose probe by nodeA is long: eight shared buses (nodeB
// stamped) with fourteen disks each, then 128 ports of nodeA alone on
// buses of their own, each costing fifteen failed tries and, with -d,
// some 900 bytes of lines: enough to fill a pipe while device_info is
// locked.  LongProbeInfo() is the device_info nodeA writes for it.
std::string LongProbeFabric();
std::string LongProbeInfo();

// Whether a process other than this one holds a lock on the file.
bool LockedByOther(const std::string& path);

// Polls cond every 5 ms for up to 10 s; returns its last answer.
bool WaitFor(const std::function<bool()>& cond);

// Success when actual is expected; otherwise says how many lines each has
// and shows the first line that differs (device_info runs to hundreds of
// lines, too many to print whole).
testing::AssertionResult SameLines(const std::string& actual,
                                   const std::string& expected);

// The device_info line of a disk: its bus's adapter, its target and its
// INQUIRY fields as given (padded here), separated by Control-A.
std::string InfoLine(const std::string& adapter, int target,
                     const std::string& vendor, const std::string& product,
                     const std::string& revision, const std::string& serial);

}  // namespace robust

#endif  // RUDED_TESTS_ROBUST_CLUSTER_H_
