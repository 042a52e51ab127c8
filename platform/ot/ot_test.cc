// libot over a private machine root: the object store (what reads back,
// updates taken whole or not at all, readers and writers in several
// processes), the calls' kinds and methods, the log sinks, the cleanup
// list, RSClient's choice of transport and its ssh command line, and the
// machine root itself (platform/os).

#include "platform/ot/ot.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/os.h"
#include "platform/ot/api_util.h"
#include "platform/ot/log.h"
#include "platform/ot/pairs.h"
#include "platform/ot/rsclient.h"
#include "platform/ot/store.h"
#include "tests/e2e_util.h"

namespace ot {
namespace {

// Runs body(i) in n processes at once, each leaving by exit() so that its
// exit handlers run; true when every one returned true.
bool InChildren(int n, const std::function<bool(int)>& body) {
  fflush(nullptr);  // or each child's exit() writes the buffers again
  bool ok = true;
  for (int i = 0; i < n; ++i) {
    pid_t pid = fork();
    if (pid == 0) exit(body(i) ? 0 : 1);
    ok = ok && pid > 0;
  }
  for (int status = 0; wait(&status) > 0;)
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return ok;
}

struct ListDestroyer {
  void operator()(KeywordList* l) const { DestroyKeywordList(l); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDestroyer>;

class OtTest : public ::testing::Test {
 protected:
  Pairs Load(const std::string& alias) {
    Pairs pairs;
    std::string err;
    EXPECT_EQ(LoadObject(alias, &pairs, &err), Status::kOk) << err;
    return pairs;
  }
  Status Update(const std::string& alias, const Pairs& updates) {
    std::string err;
    return UpdateObject(alias, updates, &err);
  }
  std::string File(const std::string& alias) const {
    return e2e::ReadFile(machine_.Under("/var/sadm/ot/objects/" + alias));
  }
  void Put(const char* alias, const Pairs& pairs) {
    ListPtr list(ListFromPairs(pairs));
    ASSERT_EQ(OTLput(alias, list.get()), 0) << OTLastError(nullptr);
  }
  static int LastStatus() {
    int status = -1;
    OTLastError(&status);
    return status;
  }
  e2e::ScopedMachineRoot machine_;
};

TEST_F(OtTest, PairsThatReadBackAsTheyWereStored) {
  const std::string k31(31, 'k'), k32(32, 'k'), v511(511, 'v'), v512(512, 'v');
  std::string err;
  // What ValidPair lets through must come back unchanged.
  for (const Pair& pair : Pairs{{"k", ""}, {k31, v511}, {"m", "line\nline"}}) {
    EXPECT_TRUE(ValidPair(pair, &err)) << err;
    ASSERT_EQ(StoreObject("obj", {pair}, &err), Status::kOk) << err;
    EXPECT_EQ(Load("obj"), Pairs{pair});
  }
  // Keywords of no bytes, too many, a blank, =, a leading #; values too long
  // or holding a quote.
  for (const std::string& k :
       std::vector<std::string>{"", k32, "a b", "a=b", "#k"})
    EXPECT_FALSE(ValidPair({k, "v"}, &err)) << k;
  for (const std::string& v : {v512, std::string("say \"hi\"")})
    EXPECT_FALSE(ValidPair({"k", v}, &err)) << v;
}

TEST_F(OtTest, UpdatesReplaceInPlaceOrChangeNothing) {
  ASSERT_EQ(Update("disk1", {{"a", "1"}, {"b", "2"}, {"c", "3"}}), Status::kOk);
  ASSERT_EQ(Update("disk1", {{"b", "two"}, {"d", "4"}}), Status::kOk);
  EXPECT_EQ(File("disk1"), "a=\"1\"\nb=\"two\"\nc=\"3\"\nd=\"4\"\n");
  // A pair that would not read back, or an alias pair, refuses the whole
  // update (RobustLsHostileTest's local put, OtClusterTest's OTput row); so
  // does an alias that could name no file.
  EXPECT_EQ(Update("bad/alias", {{"e", "5"}}), Status::kInvalid);
  // A broken object is reported by its unmapped path, never replaced.
  e2e::WriteFile(machine_.Under("/var/sadm/ot/objects/broken"), "o=\"pen\n");
  Pairs pairs;
  std::string err;
  EXPECT_EQ(LoadObject("broken", &pairs, &err), Status::kFailed);
  EXPECT_NE(err.find("/var/sadm/ot/objects/broken"), std::string::npos) << err;
  EXPECT_EQ(err.find(machine_.path()), std::string::npos) << err;
  EXPECT_EQ(Update("broken", {{"a", "1"}}), Status::kFailed);
  EXPECT_EQ(File("broken"), "o=\"pen\n");
}

// A reader must see either the old object or the new one: every version
// written here has all its pairs carry the same version number, and the
// versions alternate between a short and a long object.
TEST_F(OtTest, ReadersNeverSeeHalfAnObject) {
  auto version = [](int v) {
    Pairs pairs;
    for (int i = 0; i < (v % 2 ? 200 : 3); ++i)
      pairs.push_back({"k" + std::to_string(i), "v" + std::to_string(v)});
    return pairs;
  };
  std::string err;
  ASSERT_EQ(StoreObject("obj", version(0), &err), Status::kOk);
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int v = 1;; ++v)
      if (StoreObject("obj", version(v), &err) != Status::kOk) _exit(1);
  }
  struct Reaper {  // stops the writer however the test ends
    pid_t pid;
    ~Reaper() {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  } reaper{writer};
  // Read until the object has changed under the reader many times, so that
  // the check really ran against a busy writer.  On a loaded machine the
  // writer may get little time: the bound is a deadline, not a read count.
  int changes = 0;
  std::string last;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (changes < 50 && std::chrono::steady_clock::now() < deadline) {
    Pairs pairs = Load("obj");
    ASSERT_TRUE(pairs.size() == 3 || pairs.size() == 200) << pairs.size();
    for (const Pair& p : pairs) ASSERT_EQ(p.value, pairs[0].value);
    changes += pairs[0].value != last;
    last = pairs[0].value;
  }
  EXPECT_GE(changes, 50);
}

// Writers in four processes lose no pair and leave no temporary file.
TEST_F(OtTest, ConcurrentUpdatesKeepEveryPair) {
  EXPECT_TRUE(InChildren(4, [](int w) {
    for (int i = 0; i < 25; ++i) {
      std::string err, key = "w" + std::to_string(w) + "_" + std::to_string(i);
      if (UpdateObject("shared", {{key, "x"}}, &err) != Status::kOk)
        return false;
    }
    return true;
  }));
  EXPECT_EQ(Load("shared").size(), 100u);
  EXPECT_EQ(e2e::ListDir(machine_.Under("/var/sadm/ot/objects")),
            std::vector<std::string>{"shared"});
}

// The files still listed when the process exits are removed; a file taken
// off the list, or listed twice and taken off once, is not.  An entry is
// a 16-bit kind 0, then the path.  (Taking off what is not listed gives 1:
// TempFileTest.MadeUnderRootRegisteredAndRemoved.)
TEST_F(OtTest, CleanupListRemovesListedFilesAtExit) {
  const char* const files[] = {"/tmp/ZU_queryA", "/tmp/ZU_paramB",
                               "/tmp/ZU_keepC"};
  for (const char* f : files) e2e::WriteFile(machine_.Under(f), "x");
  EXPECT_TRUE(InChildren(1, [&](int) {
    auto call = [](const char* path, int op) {
      std::vector<char> entry(2 + strlen(path) + 1, '\0');
      memcpy(entry.data() + 2, path, strlen(path));
      return OTcleanup(entry.data(), op);
    };
    bool ok = true;
    for (const char* f : files) ok = ok && call(f, OT_CLEANUP_ADD) == 0;
    return ok && call(files[1], OT_CLEANUP_ADD) == 0 &&
           call(files[1], OT_CLEANUP_REMOVE) == 0 &&
           call(files[2], OT_CLEANUP_REMOVE) == 0;
  }));
  EXPECT_EQ(e2e::ListDir(machine_.Under("/tmp")),
            std::vector<std::string>{"ZU_keepC"});
}

// Each sink formats its arguments into one entry ending in one newline;
// traces follow OAM_TRACE, log entries and errors are written whatever it
// says.
TEST_F(OtTest, LogSinksWriteTheirFormatAndTracesFollowOamTrace) {
  const std::string big(5000, 'b');
  const std::string traces =
      "TRACE 7 lock_KELDA: lock_status 0 0\n"
      "OTTRACE 7 LSGetservers: MaxNameServers=3\n";
  // OAM_TRACE (nullptr: unset) and whether traces of level 7 are written.
  const std::pair<const char*, bool> cases[] = {
      {nullptr, false}, {"", false}, {"abc", false}, {"7x", false},
      {"6", false},     {"7", true}, {"-1", false},  {" 8", true},
  };
  for (const auto& [setting, written] : cases) {
    SCOPED_TRACE(testing::Message() << "OAM_TRACE=" << setting);
    if (setting)
      setenv("OAM_TRACE", setting, 1);
    else
      unsetenv("OAM_TRACE");
    unlink(machine_.Under(kLogPath).c_str());
    IOTrace(7, "lock_KELDA", "lock_status %d %d\n", 0, 0);
    OTtrace(7, "LSGetservers", "MaxNameServers=%d\n\n", 3);
    IOLog("LS.LSValid", 799, 8, "%s\nlines %s=%s.\n", "two", "name", "b");
    OTerror("src", "%s|%d", big.c_str(), 42);
    EXPECT_EQ(e2e::ReadFile(machine_.Under(kLogPath)),
              (written ? traces : "") +
                  "LOG LS.LSValid 799 8: two\nlines name=b.\nERROR src: " +
                  big + "|42\n");
  }
}

TEST_F(OtTest, AttributesAndMethodsKeepToTheirKind) {
  Put("disk1", {{"size", "12"}, {"do_spin", "echo up=1"}});
  const struct {
    AttributeRecord* (*get)(const char*, const char*);
    const char* alias;
    const char* keyword;
    int status;
  } cases[] = {
      // What each kind does give back: LsOpsTest.QueriesHereAndThere.
      {OTLgetattr, "disk1", "do_spin", OT_STATUS_ABSENT},
      {OTLgetmethod, "disk1", "size", OT_STATUS_ABSENT},
      {OTLgetattr, "nothing", "size", OT_STATUS_ABSENT},
      {OTLgetattr, "bad/alias", "size", OT_STATUS_INVALID},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.alias << " " << c.keyword);
    AttributeRecord* record = c.get(c.alias, c.keyword);
    EXPECT_EQ(LastStatus(), c.status);
    EXPECT_EQ(record, nullptr);
    free(record);
  }
  // Only the real failure reaches the log.
  EXPECT_EQ(machine_.LogLines(),
            std::vector<std::string>{"ERROR OTLgetattr: alias \"bad/alias\" "
                                     "holds a blank, control byte or /"});
}

// A method is a shell line run in the machine root with the alias, the
// method and each parameter in the environment and the parameters as a
// keyword stream on its standard input; its output is read as one.  The
// device table reaches it, the default one when OAM_DEVTAB is unset.  A
// failure is reported and logged by what went wrong; output behind a
// malformed pair is drained, so the method ends on its own (not on a
// broken pipe) and the report names the real fault.  A parameter that
// would not read back is refused before anything runs.
TEST_F(OtTest, PerformRunsTheMethodOrSaysWhyNot) {
  Put("obj", {{"do_echo", "cat"},
              {"do_env",
               "echo alias=$OT_ALIAS method=$OT_METHOD "
               "size=$OT_PARAM_size where=`pwd` devtab=$OAM_DEVTAB"},
              {"do_fail", "echo partial=1; exit 3"},
              {"do_garbage", "echo =bad"},
              {"do_many", "echo =bad; seq 1 200000"}});
  ListPtr params(ListFromPairs({{"size", "12"}, {"label", "x y"}}));
  ListPtr blank(ListFromPairs({{"two words", "x"}}));
  const std::string env =
      "alias=obj|method=do_env|size=12|where=" + machine_.path() +
      "|devtab=/etc/device.tab|";
  const struct {
    const char* method;
    KeywordList* params;
    int status;
    std::string text;  // its output as keyword=value|...; or the error,
                       // logged unless the method is absent
  } cases[] = {
      // do_echo with parameters and without: LsOpsTest.PerformHereAndThere.
      {"do_env", params.get(), OT_STATUS_OK, env},
      {"do_fail", nullptr, OT_STATUS_FAILED,
       "method do_fail of obj exited with status 3"},
      {"do_garbage", nullptr, OT_STATUS_FAILED,
       "output of do_garbage of obj: not a keyword stream (sspi_errno 254)"},
      {"do_many", nullptr, OT_STATUS_FAILED,
       "output of do_many of obj: not a keyword stream (sspi_errno 254)"},
      {"do_echo", blank.get(), OT_STATUS_INVALID,
       "keyword \"two words\" holds a blank, control byte, = or quote"},
      {"do_nothing", nullptr, OT_STATUS_ABSENT, "obj: no method do_nothing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    ListPtr out(OTLperform("obj", c.method, c.params));
    EXPECT_EQ(LastStatus(), c.status);
    Pairs pairs;
    if (out && !PairsFromList(out.get(), &pairs)) ADD_FAILURE();
    std::string text = out ? "" : OTLastError(nullptr);
    for (const Pair& p : pairs) text += p.keyword + "=" + p.value + "|";
    EXPECT_EQ(text, c.text);
    if (!out && c.status != OT_STATUS_ABSENT) {
      EXPECT_EQ(machine_.LogLines().back(), "ERROR OTLperform: " + c.text);
    }
  }
  EXPECT_EQ(machine_.LogLines().size(), 4u);
}

TEST_F(OtTest, NoExceptionReachesTheCaller) {
  setenv("OAM_TRACE", "8", 1);
  EXPECT_EQ(Guarded<int>("OTLput", -1, []() -> int { throw std::bad_alloc(); }),
            -1);
  EXPECT_STREQ(OTLastError(nullptr), "No more memory");
  EXPECT_EQ(Guarded<char*>("OTLnextalias", nullptr,
                           []() -> char* { throw std::out_of_range("pos"); }),
            nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_FAILED);
  unsetenv("OAM_TRACE");
  EXPECT_EQ(machine_.LogLines("OTTRACE 8 OTLnextalias: "),
            std::vector<std::string>{
                "OTTRACE 8 OTLnextalias: OTLnextalias exception: pos"});
}

// The machine root under libot and the SCSI stand-ins: where paths map,
// the node name it gives, and device numbers through the kernel's and back.
using OsTest = OtTest;

TEST_F(OsTest, MapsAbsolutePathsUnderTheRootOnly) {
  const std::string root = machine_.path();
  EXPECT_EQ(platform::MapPath("/etc/nodename"), root + "/etc/nodename");
  EXPECT_EQ(platform::MapPath(".tmpdev12"), ".tmpdev12");
  EXPECT_EQ(platform::MapPath(""), "");
  setenv(RUDED_ROOT_ENV, (root + "//").c_str(), 1);
  EXPECT_EQ(platform::MapPath("/a"), root + "/a");
  for (const char* none : {"", "/"}) {  // and unset, after the loop
    setenv(RUDED_ROOT_ENV, none, 1);
    EXPECT_EQ(platform::MapPath("/etc/nodename"), "/etc/nodename") << none;
    unsetenv(RUDED_ROOT_ENV);
  }
  EXPECT_EQ(platform::MapPath("/etc/nodename"), "/etc/nodename");

  // A relative root stays where it was first seen, whatever the process
  // does with its working directory afterwards.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root.c_str()), 0);
  setenv(RUDED_ROOT_ENV, "m1/", 1);
  EXPECT_EQ(platform::MapPath("/etc"), root + "/m1/etc");
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(platform::MapPath("/etc"), root + "/m1/etc");
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(OsTest, NodeNameIsTheFirstLineOfEtcNodename) {
  svr4_utsname u;
  ASSERT_EQ(nuname(&u), 0);
  EXPECT_STRNE(u.nodename, "") << "no etc/nodename yet: the host's name";
  e2e::WriteFile(machine_.Under("/etc/nodename"), "nodeA\nsecond line\n");
  ASSERT_EQ(nuname(&u), 0);
  EXPECT_STREQ(u.nodename, "nodeA");
  EXPECT_EQ(platform::NodeName(), "nodeA");

  e2e::WriteFile(machine_.Under("/etc/nodename"), std::string(300, 'n'));
  ASSERT_EQ(platform::uname(&u), 0);
  EXPECT_EQ(std::string(u.nodename), std::string(SVR4_SYS_NMLN - 1, 'n'));
  EXPECT_EQ(nuname(nullptr), -1);
}

TEST_F(OsTest, DeviceNumbersSurviveTheTripThroughLinux) {
  // Major 35 in bits 22-31, bus 7, controller 5, SCSI bus 3, target 15.
  const uint32_t dev = e2e::Dev(35, 7, 5, 3, 15);
  EXPECT_EQ(platform::FromLinuxDev(platform::ToLinuxDev(0xFFFFFFFFu)),
            0xFFFFFFFFu);

  ASSERT_EQ(_xmknod(XMKNOD_VER, "/node", S_IFCHR | 0400, dev), 0)
      << strerror(errno);
  struct stat st;
  ASSERT_EQ(_xstat(XSTAT_VER, "/node", &st), 0);
  EXPECT_EQ(st.st_mode, S_IFCHR | 0400u);
  EXPECT_EQ(st.st_rdev, dev);

  EXPECT_EQ(_xstat(XSTAT_VER, "/missing", &st), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(_xmknod(1, "/other", S_IFCHR | 0400, dev), -1);
  EXPECT_EQ(errno, EINVAL);
}

TEST(RsclientTest, ChoosesSiblingMachinesElseSsh) {
  e2e::ScopedTempDir dir;
  const std::string m1 = dir.path() + "/m1", m2 = dir.path() + "/m2";
  e2e::WriteFile(m1 + "/etc/nodename", "alpha\n");
  e2e::WriteFile(m2 + "/etc/nodename", "beta\n");
  const struct {
    std::string root, node;
    bool ok;
    std::string sibling;  // "" for ssh
  } cases[] = {
      // By directory, itself; without a machine root there is no cluster at
      // all.  By node name, other nodes, -o...: OtClusterTest's RSClient rows.
      {m1, "m2", true, m2},   {m1, "alpha", true, m1}, {"", "beta", true, ""},
      {"", "a b", false, ""}, {"", "..", false, ""},   {"", "", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.root + " " + c.node);
    std::string sibling = "unchanged";
    EXPECT_EQ(ChooseTransport(c.root, c.node, &sibling), c.ok);
    EXPECT_EQ(sibling, c.sibling);
  }
}

TEST(RsclientTest, SshLineSplitsRsSshAsAShellWould) {
  setenv("RS_TEST_DIR", "/etc/ruded", 1);
  unsetenv("RS_TEST_UNSET");
  const std::string command = "a \"b\"; c > /tmp/x";
  const std::string tail = "|-o|BatchMode=yes|-T|--|beta|" + command;
  const std::string plain = "ssh|-o|ConnectTimeout=10";
  const struct {
    const char* rs_ssh;
    std::string head;  // its words joined by |; "": refused with err
    std::string err;
  } cases[] = {
      {nullptr, plain, ""},
      {" \t", plain, ""},
      {"ssh", "ssh", ""},
      {"ssh -F '/etc/my config' -o \"User=a b\"",
       "ssh|-F|/etc/my config|-o|User=a b", ""},
      {"/usr/bin/ssh\\ 2 -p\t2222 -q", "/usr/bin/ssh 2|-p|2222|-q", ""},
      {"ssh -F $RS_TEST_DIR/ssh_config", "ssh|-F|/etc/ruded/ssh_config", ""},
      {"ssh -F '$RS_TEST_DIR'", "ssh|-F|$RS_TEST_DIR", ""},
      {"ssh $(touch /x)", "", "RS_SSH: command substitution is not allowed"},
      {"ssh 'open", "", "RS_SSH: unbalanced quotes"},
      // Other bytes and `...`: refused by wordexp() as these are.
      {"ssh; touch /x", "", "RS_SSH: an unquoted | & ; < > ( ) { } or newline"},
      {"$RS_TEST_UNSET", "", "RS_SSH: no command"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rs_ssh ? c.rs_ssh : "(unset)");
    std::vector<std::string> argv = {"stale"};
    std::string err, words;
    bool ok = SshArgv(c.rs_ssh, "beta", command, &argv, &err);
    for (const std::string& w : argv) words += (words.empty() ? "" : "|") + w;
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(ok ? words : "", c.head.empty() ? "" : c.head + tail);
  }
}

}  // namespace
}  // namespace ot
