// libot over a private machine root: the object store (what reads back,
// updates taken whole or not at all, readers and writers in several
// processes), the calls' kinds and methods, the log sinks, the cleanup
// list and the machine root itself (platform/os).  What the commands,
// RSClient and libls read through these calls is shown by ot_e2e_test and
// ls_e2e_test.

#include "platform/ot/ot.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "platform/ot/log.h"
#include "platform/ot/pairs.h"
#include "platform/ot/store.h"
#include "tests/e2e_util.h"

namespace ot {
namespace {

using Names = std::vector<std::string>;

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
  std::string Objects(const std::string& alias = "") const {
    return machine_.Under("/var/sadm/ot/objects/" + alias);
  }
  static int LastStatus() {
    int status = -1;
    OTLastError(&status);
    return status;
  }
  e2e::ScopedMachineRoot machine_;
};

// Pairs that read back as they were stored are put; pairs that would not,
// and aliases that could name no file, refuse the whole update.  An alias
// pair is refused too (ot_e2e_test's OTput row).
TEST_F(OtTest, UpdatesTakeWholeReadablePairsOrChangeNothing) {
  const std::string k31(31, 'k'), v511(511, 'v');
  std::string err;
  // An empty value, the longest keyword and value, a newline.
  const Pairs edges = {{"k", ""}, {k31, v511}, {"m", "line\nline"}};
  ASSERT_EQ(UpdateObject("edges", edges, &err), Status::kOk) << err;
  EXPECT_EQ(Load("edges"), edges);
  ASSERT_EQ(UpdateObject("disk1", {{"a", "1"}, {"b", "2"}, {"c", "3"}}, &err),
            Status::kOk);
  ASSERT_EQ(UpdateObject("disk1", {{"b", "two"}, {"d", "4"}}, &err),
            Status::kOk);
  // Keywords of no bytes, too many, an = (a blank: the perform rows), a
  // leading #; values too long or holding a quote.
  for (const Pair& pair : Pairs{{"", "v"},
                                {k31 + "k", "v"},
                                {"a=b", "v"},
                                {"#k", "v"},
                                {"k", v511 + "v"},
                                {"k", "say \"hi\""}})
    EXPECT_EQ(UpdateObject("disk1", {{"e", "5"}, pair}, &err), Status::kInvalid)
        << pair.keyword << pair.value;
  EXPECT_EQ(UpdateObject("bad/alias", {{"e", "5"}}, &err), Status::kInvalid);
  EXPECT_EQ(e2e::ReadFile(Objects("disk1")),
            "a=\"1\"\nb=\"two\"\nc=\"3\"\nd=\"4\"\n");
  // A broken object is reported by its unmapped path, never replaced.
  e2e::WriteFile(Objects("broken"), "o=\"pen\n");
  EXPECT_EQ(UpdateObject("broken", {{"a", "1"}}, &err), Status::kFailed);
  EXPECT_EQ(err.rfind("/var/sadm/ot/objects/broken", 0), 0u) << err;
  EXPECT_EQ(e2e::ReadFile(Objects("broken")), "o=\"pen\n");
}

// Writers in four processes lose no pair and leave no temporary file, and
// a reader beside them sees each version whole: the object only grows, so
// a read that finds it missing, unreadable or smaller saw half a write.
TEST_F(OtTest, WritersLoseNoPairAndReadersSeeWholeObjects) {
  fflush(nullptr);  // or each child's exit() writes the buffers again
  int left = 0;
  for (int w = 0; w < 4; ++w) {
    pid_t pid = fork();
    left += pid > 0;
    if (pid != 0) continue;
    for (int i = 0; i < 25; ++i) {
      std::string err, key = "w" + std::to_string(w) + "_" + std::to_string(i);
      if (UpdateObject("shared", {{key, "x"}}, &err) != Status::kOk) _exit(1);
    }
    _exit(0);
  }
  size_t seen = 0;
  bool whole = true, exited = true;
  while (left > 0) {
    Pairs pairs;
    std::string err;
    Status s = LoadObject("shared", &pairs, &err);
    whole = whole && (s == Status::kOk ? pairs.size() >= seen
                                       : s == Status::kAbsent && seen == 0);
    seen = pairs.size();
    for (int status; waitpid(-1, &status, WNOHANG) > 0; --left)
      exited = exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  EXPECT_TRUE(exited && whole);
  EXPECT_EQ(Load("shared").size(), 100u);
  EXPECT_EQ(e2e::ListDir(Objects()), Names{"shared"});
}

// The files still listed when the process exits are removed; a file taken
// off the list, or listed twice and taken off once, is not.  An entry is
// a 16-bit kind 0, then the path; taking off what is not listed gives 1.
TEST_F(OtTest, CleanupListRemovesListedFilesAtExit) {
  const char* const files[] = {"/tmp/ZU_queryA", "/tmp/ZU_paramB",
                               "/tmp/ZU_keepC"};
  for (const char* f : files) e2e::WriteFile(machine_.Under(f), "x");
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    auto call = [](const char* path, int op) {
      std::string entry = std::string(2, '\0') + path;
      return OTcleanup(entry.c_str(), op);
    };
    int sum = 0;
    for (const char* f : files) sum += call(f, OT_CLEANUP_ADD);
    sum += call(files[1], OT_CLEANUP_ADD) + call(files[1], OT_CLEANUP_REMOVE);
    sum += call(files[2], OT_CLEANUP_REMOVE) + call("/x", OT_CLEANUP_REMOVE);
    exit(sum);  // exit() runs the exit handlers
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 1 << 8) << "only /x was not listed";
  EXPECT_EQ(e2e::ListDir(machine_.Under("/tmp")), Names{"ZU_keepC"});
}

// Each sink formats its arguments into one entry ending in one newline;
// traces follow OAM_TRACE, log entries and errors are written whatever it
// says.
TEST_F(OtTest, LogSinksWriteTheirFormatAndTracesFollowOamTrace) {
  const std::string big(5000, 'b');
  // OAM_TRACE and whether traces of level 7 are written.  (Unset, it
  // writes none: the other tests' logs hold no trace.)
  const std::pair<const char*, bool> cases[] = {
      {"7x", false}, {"6", false}, {"7", true}};
  for (const auto& [setting, written] : cases) {
    SCOPED_TRACE(testing::Message() << "OAM_TRACE=" << setting);
    setenv("OAM_TRACE", setting, 1);
    unlink(machine_.Under(kLogPath).c_str());
    IOTrace(7, "lock_KELDA", "lock_status %d %d\n", 0, 0);
    OTtrace(7, "LSGetservers", "MaxNameServers=%d\n\n", 3);
    IOLog("LS.LSValid", 799, 8, "%s\nlines %s=%s.\n", "two", "name", "b");
    OTerror("src", "%s|%d", big.c_str(), 42);
    EXPECT_EQ(e2e::ReadFile(machine_.Under(kLogPath)),
              (written ? "TRACE 7 lock_KELDA: lock_status 0 0\n"
                         "OTTRACE 7 LSGetservers: MaxNameServers=3\n"
                       : "") +
                  std::string("LOG LS.LSValid 799 8: two\nlines name=b.\n") +
                  "ERROR src: " + big + "|42\n");
  }
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
  ListPtr object(
      ListFromPairs({{"do_echo", "cat"},
                     {"do_env",
                      "echo alias=$OT_ALIAS method=$OT_METHOD "
                      "size=$OT_PARAM_size where=`pwd` devtab=$OAM_DEVTAB"},
                     {"do_fail", "echo partial=1; exit 3"},
                     {"do_many", "echo =bad; seq 1 200000"}}));
  ASSERT_EQ(OTLput("obj", object.get()), 0);
  ListPtr params(ListFromPairs({{"size", "12"}, {"label", "x y"}}));
  ListPtr blank(ListFromPairs({{"two words", "x"}}));
  const struct {
    const char* method;
    KeywordList* params;
    int status;
    std::string text;  // its output as keyword=value|...; or the error,
                       // logged unless the method is absent
  } cases[] = {
      // do_echo with parameters and without: ls_e2e_test's perform rows.
      {"do_env", params.get(), OT_STATUS_OK,
       "alias=obj|method=do_env|size=12|where=" + machine_.path() +
           "|devtab=/etc/device.tab|"},
      {"do_fail", nullptr, OT_STATUS_FAILED,
       "method do_fail of obj exited with status 3"},
      {"do_many", nullptr, OT_STATUS_FAILED,
       "output of do_many of obj: not a keyword stream (sspi_errno 254)"},
      {"do_echo", blank.get(), OT_STATUS_INVALID,
       "keyword \"two words\" holds a blank, control byte, = or quote"},
      {"do_nothing", nullptr, OT_STATUS_ABSENT, "obj: no method do_nothing"},
  };
  Names logged;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    ListPtr out(OTLperform("obj", c.method, c.params));
    EXPECT_EQ(LastStatus(), c.status);
    Pairs pairs;
    if (out && !PairsFromList(out.get(), &pairs)) ADD_FAILURE();
    std::string text = out ? "" : OTLastError(nullptr);
    for (const Pair& p : pairs) text += p.keyword + "=" + p.value + "|";
    EXPECT_EQ(text, c.text);
    if (!out && c.status != OT_STATUS_ABSENT)
      logged.push_back("ERROR OTLperform: " + c.text);
  }
  EXPECT_EQ(machine_.LogLines(), logged);
}

// The machine root under libot and the SCSI stand-ins: where paths map and
// the node name it gives.  (Device numbers through _xmknod and _xstat show
// in every node qv_cspec makes and reads.)
TEST_F(OtTest, MachineRootMapsPathsAndNamesTheNode) {
  const std::string root = machine_.path();
  setenv(RUDED_ROOT_ENV, (root + "//").c_str(), 1);
  EXPECT_EQ(platform::MapPath("/a"), root + "/a");
  setenv(RUDED_ROOT_ENV, root.c_str(), 1);

  // A node name that would not fit is cut to the field.
  e2e::WriteFile(machine_.Under("/etc/nodename"), std::string(300, 'n'));
  svr4_utsname u;
  ASSERT_EQ(nuname(&u), 0);
  EXPECT_EQ(std::string(u.nodename), std::string(SVR4_SYS_NMLN - 1, 'n'));
}

}  // namespace
}  // namespace ot
