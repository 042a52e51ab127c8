// Exhausted storage, through the one preloaded robust_failmalloc.so: a
// staged program is run once per allocation it makes, with that
// allocation failing.
//
// libls: each operation through ls_call on machine alpha of a two-machine
// cluster (only the call is counted; RSClient and the object-tool commands
// on beta allocate for themselves).  Every run gives the failure result or
// the full answer (a browse may give a part of it, and logs each alias
// left out), leaves no more blocks allocated than the run without a
// failure (what the libraries keep for good from their first call), no
// temporary file, the caller's list as it was, and no cleanup entry it
// could not withdraw.
//
// qv_cspec: a whole -i -r run on the demo cluster.  In the scan of
// cspecials it must say "No more memory", end with status 1 and leave the
// directory, device_info and the machine as they were.  Anywhere after it
// the failure costs one step (a node, a line, a removal) and the run goes
// on to remove its temporary node and end with status 0.

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e_util.h"
#include "tests/ls_cluster.h"

extern "C" int robust_available();

namespace {

using Names = std::vector<std::string>;
using Env = std::map<std::string, std::string>;

// Runs run(env, n) once with nothing failing (n = -1), then once per
// allocation that run counted, with that one (n) failing; env preloads the
// allocator and names its count file.  check sees each run's number, its
// result and how many blocks it left.
void Sweep(const std::string& name, const std::function<e2e::RunResult(Env&, long)>& run,
           const std::function<void(long, const e2e::RunResult&, long)>& check) {
  e2e::ScopedTempDir dir;
  const std::string file = dir.path() + "/count";
  const char* preloaded = getenv("LD_PRELOAD");  // fakeroot's, say
  Env env = {
      {"LD_PRELOAD", std::string(ROBUST_FAILMALLOC) + (preloaded ? ":" + std::string(preloaded) : "")},
      {"ROBUST_ALLOC_COUNT", file}};
  long points = 0;
  for (long n = -1; n < points; ++n) {
    SCOPED_TRACE(name + ", allocation " + std::to_string(n));
    if (n >= 0) env["ROBUST_ALLOC_FAIL"] = std::to_string(n);
    unlink(file.c_str());
    const e2e::RunResult r = run(env, n);
    long allocations = 0, failed = 0, leaked = 0;
    std::istringstream(e2e::ReadFile(file)) >> allocations >> failed >> leaked;
    if (n < 0) points = allocations;
    ASSERT_GT(points, 0) << r.out << r.err;
    EXPECT_EQ(failed, n >= 0) << "the allocation was not reached";
    check(n, r, leaked);
  }
}

// ls_call -S under the preloaded allocator: Step(n) runs the call once
// more, in a child of the one loaded process, with allocation n failing.
class Stepper {
 public:
  Stepper(const std::vector<std::string>& args, const Env& env) {
    signal(SIGPIPE, SIG_IGN);  // a stepper that died fails its steps
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) abort();
    std::vector<std::string> argv = {LS_CALL, "-S"};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = e2e::Start(argv, {env, ""}, {in[0], out[1], 2});
    close(in[0]);
    close(out[1]);
    to_ = fdopen(in[1], "w");
    from_ = fdopen(out[0], "r");
  }
  ~Stepper() {
    fclose(to_);  // the end of its input ends it
    waitpid(pid_, nullptr, 0);
    fclose(from_);
  }
  // The call's output and standard error, and its exit status.
  e2e::RunResult Step(long n) {
    fprintf(to_, "%ld\n", n);
    fflush(to_);
    e2e::RunResult r;
    char line[1024];
    while (fgets(line, sizeof line, from_) != nullptr &&
           sscanf(line, "ls_call: status %d", &r.status) != 1)
      r.out += line;
    return r;
  }

 private:
  pid_t pid_;
  FILE* to_;
  FILE* from_;
};

// True when the lines of part are some of the lines of whole, in order.
bool IsPart(const std::string& part, const std::string& whole) {
  const Names all = e2e::Lines(whole);
  auto next = all.begin();
  for (const std::string& line : e2e::Lines(part)) {
    next = std::find(next, all.end(), line);
    if (next++ == all.end()) return false;
  }
  return part.empty() || part.back() == '\n';
}

using RobustLsAllocTest = ls_e2e::ClusterTest;

TEST_F(RobustLsAllocTest, EveryOperationAnswersFullyOrFailsCleanly) {
  if (!robust_available()) GTEST_SKIP() << "no preloaded malloc in a sanitizer build";
  for (const std::string m : {"alpha", "beta"}) {
    Put(m, "disk1", "size=" + std::string(m == "alpha" ? "10" : "20") + "\ntype=disk\n");
    Put(m, "disk2", "type=disk\n");
  }
  // RSClient itself, not the wrapper that counts its runs.
  const std::string rsclient = Root("alpha") + "/usr/sadm/sysadm/bin/RSClient";
  unlink(rsclient.c_str());
  ASSERT_EQ(symlink(LS_OT_BIN_DIR "/RSClient", rsclient.c_str()), 0);
  const std::string store = Root("beta") + "/var/sadm/ot/objects/disk1";
  const std::string stored = e2e::ReadFile(store);
  const struct {
    std::vector<std::string> args;
    std::string failure;
    bool partial = false;  // a browse may give a part of its answer
  } rows[] = {
      {{"attrs", "alpha:disk1"}, "NULL\n"},
      {{"attr", "beta:disk1", "size"}, "NULL\n"},
      {{"aliases", "type=disk", "Containment=beta"}, "NULL\n", true},
      // A failed split is a refused net alias, never a local object's; the
      // value is stored exactly when the put succeeds.
      {{"put", "beta:disk1", "color=green"}, "result -1\n"},
      {{"perform", "beta:System", "do_echo", "a=1", "b=two words"}, "NULL\n"},
  };
  for (const auto& row : rows) {
    std::unique_ptr<Stepper> call;
    std::string answer;
    int failures = 0, partial = 0;
    long kept = 0;
    Sweep(row.args[0] + " " + row.args[1], [&](Env& env, long n) {
      if (n < 0) {
        env.insert({{"RUDED_ROOT", Root("alpha")}, {"OAM_TRACE", ""}, {"OAM_DEVTAB", ""},
                    {"ROBUST_ALLOC_SCOPED", "1"}});  // only the call
        call = std::make_unique<Stepper>(row.args, env);
      }
      ClearLogs();
      e2e::WriteFile(store, stored);
      return call->Step(n);
    }, [&](long n, const e2e::RunResult& r, long leaked) {
      // Blocks the libraries keep for good are made in the first run too.
      EXPECT_LE(leaked, n < 0 ? 8 : kept) << "a block left behind";
      if (n < 0) kept = leaked;
      EXPECT_EQ(r.status, r.out == row.failure ? 1 : 0) << r.out;
      EXPECT_EQ(r.out.find("leftover "), std::string::npos) << r.out;
      const std::string log = e2e::ReadFile(Root("alpha") + "/var/adm/oam.log");
      // Withdrawing a removed file from the cleanup list needs no storage:
      // it fails only for a file that could not be listed.
      EXPECT_EQ(log.find("rem_temp_file: OTcleanup failed") != std::string::npos,
                log.find("add_temp_file: OTcleanup failed") != std::string::npos)
          << log;
      EXPECT_EQ(e2e::ReadFile(store).find("color=\"green\"") != std::string::npos,
                r.out == "result 0\n");
      if (n < 0) {
        answer = r.out;
        EXPECT_NE(answer, row.failure) << "fails with storage to spare";
      } else if (r.out == row.failure) {
        ++failures;
      } else if (r.out != answer) {
        ++partial;
        EXPECT_TRUE(row.partial && IsPart(r.out, answer)) << r.out;
        // Whatever aliases were collected are returned; one left out for
        // want of storage is logged.
        EXPECT_EQ(LogLines("LOG LS.LSBrowse 702 1: ").size(), 1u) << r.out;
      }
    });
    EXPECT_GT(failures, 0);
    EXPECT_EQ(partial > 0, row.partial);
  }
}

TEST(RobustCspecAllocTest, OutOfStorageEndsTheRunOnlyUpToTheScan) {
  if (!robust_available()) GTEST_SKIP() << "no preloaded malloc in a sanitizer build";
  e2e::ScopedTempDir tmp;
  e2e::Cluster demo(tmp.path() + "/demo");
  ASSERT_EQ(demo.Create(e2e::ReadFile(DEMO_FABRIC)).status, 0);
  // beta stamps its adapter first, so that alpha names its responder.
  ASSERT_EQ(demo.Cspec("beta", {"-i"}).status, 0);
  const std::string state = e2e::ReadFile(demo.dir() + "/fabric.state");
  const std::string cspecials = demo.Cspecials("alpha");
  // alpha's nodes, one a line.
  const auto nodes = [&] {
    std::string text;
    for (const std::string& name : e2e::ListDir(cspecials)) text += name + "\n";
    return text;
  };
  std::string info;  // device_info after the run without a failure
  long exits = 0;
  Sweep("qv_cspec -i -r", [&](const Env& env, long) {
    // alpha as every run finds it: two nodes that no hardware asks for (one
    // with a name too long to be kept inside a string), device_info "kept",
    // and only beta's adapter stamped.
    for (const std::string& name : e2e::ListDir(cspecials)) unlink((cspecials + "/" + name).c_str());
    e2e::MakeNode(cspecials + "/c7", e2e::Dev(35, 7, 7, 3, 0));
    e2e::MakeNode(cspecials + "/r7_a-machine-with-a-long-name", e2e::Dev(35, 7, 7, 3, 6));
    e2e::WriteFile(demo.Root("alpha") + e2e::kDeviceInfo, "kept\n");
    e2e::WriteFile(demo.dir() + "/fabric.state", state);
    e2e::RunOptions options;
    options.env = env;
    options.env["RUDED_ROOT"] = demo.Root("alpha");
    return e2e::Run({e2e::Staged("sbin/qv_cspec"), "-i", "-r"}, options);
  }, [&](long n, const e2e::RunResult& r, long) {
    // No temporary node, nor a temporary of the simulated hardware's state.
    EXPECT_EQ(e2e::TmpNodes(demo.Hostadp("alpha")), Names{});
    EXPECT_EQ(e2e::ListDir(demo.dir()),
              (Names{"alpha", "beta", "fabric", "fabric.state", "fabric.state.lock"}));
    const std::string left = nodes();
    const std::string now = demo.DeviceInfo("alpha");
    if (n < 0) {
      info = now;
      ASSERT_EQ(r.status, 0) << r.err;
      ASSERT_EQ(left, "c0\nc1\nr0_beta\n");
      ASSERT_EQ(e2e::Lines(info).size(), 5u) << info;
    } else if (r.status == 1) {
      // Only up to the end of the scan: device_info not yet emptied, no
      // adapter stamped, nothing touched.
      ++exits;
      EXPECT_EQ(r.err + r.out + left + now + e2e::ReadFile(demo.dir() + "/fabric.state"),
                "qv_cspec: No more memory\nc7\nr7_a-machine-with-a-long-name\nkept\n" + state);
    } else {
      // A step that ran out costs its node or line, nothing else: an
      // unasked node stays only when its own removal ran out.
      EXPECT_EQ(r.status, 0) << r.err;
      const bool ran_out = r.err.find("No more memory") != std::string::npos;
      EXPECT_TRUE(IsPart(left, ran_out ? "c0\nc1\nc7\nr0_beta\nr7_a-machine-with-a-long-name\n"
                                       : "c0\nc1\nr0_beta\n"))
          << left;
      EXPECT_TRUE(now == "kept\n" || IsPart(now, info)) << now;
    }
  });
  EXPECT_GT(exits, 0);
}

}  // namespace
