// libls under exhausted storage: each operation is run once per allocation
// it makes, with that allocation failing, on machine alpha of a two-machine
// cluster (remote operations run the real RSClient and object-tool
// commands on beta; those child processes allocate for themselves and
// never fail).  Every run must give the operation's failure result or its
// full answer, never a part of it or another object's; it must leave no
// block allocated, no temporary file, and the caller's lists as they were.

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "ls/ls_internal.h"
#include "platform/os/os.h"
#include "platform/ot/ot.h"
#include "tests/e2e_util.h"
#include "tests/ls_cluster.h"
#include "tests/robust_malloc.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// What a sweep over the allocations of one operation saw.
struct Sweep {
  long points = 0;   // allocations of a successful run, each failed once
  int failures = 0;  // runs that gave the failure result
  int answers = 0;   // runs that still gave the full answer
  int partial = 0;   // runs that gave a part of the answer (browse only)
};

class RobustAllocTest : public ls_e2e::ClusterTest {
 protected:
  void SetUp() override {
    if (!robust::Available())
      GTEST_SKIP() << "malloc is not interposed in a sanitizer build";
    ClusterTest::SetUp();
    for (const std::string m : {"alpha", "beta"}) {
      const std::string size = m == "alpha" ? "10" : "20";
      Put(m, "disk1", "size=" + size + "\ntype=disk\n");
      Put(m, "disk2", "type=disk\n");
    }
    setenv("RUDED_ROOT", Root("alpha").c_str(), 1);
    unsetenv("OAM_TRACE");
    unsetenv("OAM_DEVTAB");
    // libot keeps the machine root it last mapped under; a first log entry
    // from inside a count would look like a leak.
    IOLog("robust", 0, 0, "%s", "machine root settled");
    ClearLogs();
  }
  void TearDown() override {
    unsetenv("RUDED_ROOT");
    unsetenv("OAM_DEVTAB");
    if (robust::Available()) ClusterTest::TearDown();
  }

  // Each Shown() pauses the count, describes a result ("NULL" for none)
  // and releases it.  A list shows as "keyword=value;" pairs.
  static std::string Shown(KeywordList* list) {
    robust::PauseCount();
    if (list == nullptr) return "NULL";
    std::string text;
    for (KeywordValueBlock* b = list->kwd_val_chain; b != nullptr;
         b = b->next_block)
      text += std::string(b->keyword_address) + "=" + b->value_address + ";";
    DestroyKeywordList(list);
    return text;
  }

  static std::string Shown(AttributeRecord* record) {
    robust::PauseCount();
    if (record == nullptr) return "NULL";
    std::string text = std::string(record->keyword) + "=" + record->value;
    free(record);
    return text;
  }

  static std::string Shown(AliasList* aliases) {
    robust::PauseCount();
    if (aliases == nullptr) return "NULL";
    std::string text;
    for (AliasList* a = aliases; a != nullptr; a = a->next)
      text += std::string(a->alias) + " ";
    OTFreeAliasList(aliases);
    return text;
  }

  static std::string Shown(char* text) {  // malloc()ed by the call
    robust::PauseCount();
    if (text == nullptr) return "NULL";
    std::string copy = text;
    free(text);
    return copy;
  }

  static std::string ShownInt(int value) {
    robust::PauseCount();
    return std::to_string(value);
  }

  static KeywordList* MakeList(const Pairs& pairs) {
    KeywordList* list = CreateKeywordList();
    for (const auto& [k, v] : pairs)
      AddKeywordToList(list, k.c_str(), v.c_str());
    return list;
  }

  static Pairs Contents(const KeywordList* list) {
    Pairs pairs;
    for (KeywordValueBlock* b = list->kwd_val_chain; b != nullptr;
         b = b->next_block)
      pairs.emplace_back(b->keyword_address, b->value_address);
    return pairs;
  }

  // One operation: prepare runs before each run, outside the count; call
  // makes the call and describes and releases its result; check looks at
  // each run's effects.
  struct Operation {
    std::string name;
    std::function<std::string()> call;
    std::string failure;           // what call shows on failure
    bool partial_allowed = false;  // a part of the answer is fine
    std::function<void()> prepare = [] {};
    std::function<void(long n, const std::string& shown)> check =
        [](long, const std::string&) {};
  };

  // Runs op once to settle what the process keeps for good, once to count
  // the allocations of a successful run, then once more per allocation
  // with that one failing.
  Sweep FailEach(const Operation& op) {
    Sweep sweep;
    op.prepare();
    const std::string answer = op.call();
    EXPECT_NE(answer, op.failure) << op.name << ": fails with storage to spare";
    op.prepare();
    robust::StartCount(-1);
    EXPECT_EQ(op.call(), answer) << op.name;
    robust::Tally counted = robust::StopCount();
    EXPECT_EQ(counted.leaked, 0) << op.name << ": a successful run leaks";
    sweep.points = counted.allocations;
    for (long n = 0; n < sweep.points; ++n) {
      op.prepare();
      robust::StartCount(n);
      const std::string shown = op.call();
      robust::Tally t = robust::StopCount();
      const std::string at = op.name + ", allocation " + std::to_string(n);
      EXPECT_TRUE(t.failed) << at << " was never reached";
      EXPECT_EQ(t.leaked, 0)
          << at << ": the first block left was made by allocation "
          << t.first_leak;
      EXPECT_FALSE(t.overflow) << at;
      EXPECT_EQ(e2e::ListDir(Root("alpha") + "/tmp"),
                std::vector<std::string>{})
          << at;
      if (shown == op.failure) {
        ++sweep.failures;
      } else if (shown == answer) {
        ++sweep.answers;
      } else if (op.partial_allowed && IsPart(shown, answer)) {
        ++sweep.partial;
      } else {
        ADD_FAILURE() << at << ": got \"" << shown << "\", want \""
                      << op.failure << "\" or \"" << answer << "\"";
      }
      op.check(n, shown);
    }
    printf("%s: %ld allocation points: %d failed, %d answered, %d partly\n",
           op.name.c_str(), sweep.points, sweep.failures, sweep.answers,
           sweep.partial);
    return sweep;
  }

  // True when the words of part are some of the words of whole, in order.
  static bool IsPart(const std::string& part, const std::string& whole) {
    std::istringstream wanted(part), all(whole);
    std::string word, next;
    while (wanted >> word) {
      do {
        if (!(all >> next)) return false;
      } while (next != word);
    }
    return true;
  }
};

// Once a temporary file is gone, taking it off the cleanup list must
// succeed even with no storage left; a failed withdrawal kept the entry,
// and the exit handler would later unlink whatever then had that name.
TEST_F(RobustAllocTest, CleanupWithdrawalNeedsNoStorage) {
  const std::string path = "/tmp/ZU_queryABCDEF";
  std::string entry(2, '\0');  // the 16-bit kind 0, then the path
  entry += path;
  ASSERT_EQ(OTcleanup(entry.c_str(), 0), 0);
  robust::StartCount(0);
  const int withdrawn = OTcleanup(entry.c_str(), 1);
  robust::StopCount();
  EXPECT_EQ(withdrawn, 0);
  EXPECT_EQ(OTcleanup(entry.c_str(), 1), 1);  // no longer listed
}

// A change of machine root that ran out of storage half way left the new
// root recorded beside the old machine's path, and every later path of the
// process was mapped under the old machine.
TEST_F(RobustAllocTest, MachineRootChangeOutOfStorageLeavesNoStaleRoot) {
  const std::string old_root = Root("alpha");
  long n = 0;
  for (bool failed = true; failed; ++n) {
    setenv("RUDED_ROOT", old_root.c_str(), 1);
    ASSERT_EQ(platform::MapPath("/etc"), old_root + "/etc");
    // Each time longer than any root before, so that the strings that keep
    // the root must grow again.
    const std::string new_dir = Root("beta") + "/" + std::string(64 << n, 'd');
    setenv("RUDED_ROOT", (new_dir + "/").c_str(), 1);
    robust::StartCount(n);
    try {
      platform::MapPath("/etc");
    } catch (const std::bad_alloc&) {
    }
    failed = robust::StopCount().failed;
    EXPECT_EQ(platform::MapPath("/etc"), new_dir + "/etc")
        << "allocation " << n;
  }
  EXPECT_GT(n, 2);
  setenv("RUDED_ROOT", old_root.c_str(), 1);
}

// Storage running out while a net alias is split must fail the split, not
// hand out a list without "alias": a query then asked the node for its
// first object instead of the one after the alias given.
TEST_F(RobustAllocTest, NetAliasesSplitWholeOrNotAtAll) {
  Sweep s =
      FailEach({"LSParseNetalias",
                [] { return Shown(LSParseNetalias("beta:disk1")); }, "NULL"});
  EXPECT_GT(s.points, 2);
  s = FailEach({"LSCreateNetalias",
                [] { return Shown(LSCreateNetalias("beta", "disk1")); },
                "NULL"});
  EXPECT_GT(s.points, 1);
  // A failed split is a refused net alias, never another object's.
  s = FailEach({"LSQuerynext (remote)",
                [] {
                  char* next = LSQuerynext("all", "beta:disk1");
                  robust::PauseCount();
                  return std::string(next != nullptr ? next : "NULL");
                },
                "NULL"});
  EXPECT_GT(s.failures, 0);
}

// A name_servers pair whose names could not be split for want of storage
// was skipped, and the registry read handed out the other servers as the
// whole list.
TEST_F(RobustAllocTest, RegistryReadsGiveTheWholeListOrNone) {
  Register(
      "alpha",
      "MaXnAmEsErVrS=8\nname_servers=\"beta,gamma\"\nname_servers=delta\n");
  FailEach({"LSGetservers", [] { return Shown(LSGetservers()); }, "NULL"});
  FailEach({"verify_node", [] { return ShownInt(verify_node("delta")); }, "0"});

  // Without a registry the System object names the servers, looked up
  // with the default device table; the caller's table comes back.
  unlink((Root("alpha") + "/etc/KELDA_servers").c_str());
  setenv("OAM_DEVTAB", "/etc/mytab", 1);
  Operation fallback{"LSGetservers (System object)",
                     [] { return Shown(LSGetservers()); }, "NULL"};
  fallback.check = [](long n, const std::string&) {
    EXPECT_STREQ(getenv("OAM_DEVTAB"), "/etc/mytab") << "allocation " << n;
  };
  FailEach(fallback);
}

TEST_F(RobustAllocTest, QueriesAnswerFullyOrNotAtAll) {
  FailEach({"LSQueryattrs (local)",
            [] { return Shown(LSQueryattrs("alpha:disk1")); }, "NULL"});
  Sweep s = FailEach({"LSQueryattr (remote)",
                      [] { return Shown(LSQueryattr("beta:disk1", "size")); },
                      "NULL"});
  EXPECT_GT(s.failures, 0);
}

// A browse that ran out of storage for a C++ object leaked its copy of the
// search list, and an alias it could not add to the result was left out
// without a word.
TEST_F(RobustAllocTest, BrowseKeepsTheSearchListAndLogsEveryAliasLeftOut) {
  KeywordList* search = MakeList({{"type", "disk"}, {"Containment", "beta"}});
  const Pairs before = Contents(search);
  Operation browse{"LSgetaliases (remote)",
                   [&] { return Shown(LSgetaliases(search)); }, "NULL", true};
  browse.prepare = [&] { ClearLogs(); };
  browse.check = [&](long n, const std::string& shown) {
    EXPECT_EQ(Contents(search), before) << "allocation " << n;
    // Whatever aliases were collected are returned; one left out for want
    // of storage is logged.
    if (shown != "NULL" && shown != "beta:disk1 beta:disk2 ") {
      EXPECT_EQ(LogLines("alpha", "LOG LS.LSBrowse 702 1: ").size(), 1u)
          << "allocation " << n << ": " << shown;
    }
  };
  Sweep s = FailEach(browse);
  EXPECT_GT(s.partial, 0);
  DestroyKeywordList(search);
}

TEST_F(RobustAllocTest, PutTakesEffectExactlyWhenItSucceeds) {
  KeywordList* attributes = MakeList({{"color", ""}});
  int run = 0;
  std::string value;
  const std::string store = Root("beta") + "/var/sadm/ot/objects/disk1";
  Operation put{"LSPut (remote)",
                [&] { return ShownInt(LSPut("beta:disk1", attributes)); },
                "-1"};
  // Each run puts a value of its own, so that its effect can be seen.
  put.prepare = [&] {
    value = "v" + std::to_string(run++);
    UpdateKeywordInList(attributes, "color", value.c_str());
  };
  put.check = [&](long n, const std::string& shown) {
    const bool stored = e2e::ReadFile(store).find("color=\"" + value + "\"") !=
                        std::string::npos;
    EXPECT_EQ(stored, shown == "0") << "allocation " << n << ": " << shown;
  };
  FailEach(put);
  DestroyKeywordList(attributes);
}

TEST_F(RobustAllocTest, PerformAnswersFullyOrNotAtAll) {
  KeywordList* parameters = MakeList({{"a", "1"}, {"b", "two words"}});
  const Pairs before = Contents(parameters);
  Operation perform{
      "RSPerform (remote)",
      [&] { return Shown(RSPerform("beta:System", "do_echo", parameters)); },
      "NULL"};
  perform.check = [&](long n, const std::string&) {
    EXPECT_EQ(Contents(parameters), before) << "allocation " << n;
  };
  FailEach(perform);
  DestroyKeywordList(parameters);
}

}  // namespace
