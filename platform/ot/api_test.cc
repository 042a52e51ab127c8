// The library's exported calls over a private machine root.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ot/ot.h"
#include "platform/ot/ot_test_util.h"
#include "platform/ot/pairs.h"

namespace ot {
namespace {

struct ListDestroyer {
  void operator()(KeywordList* l) const { DestroyKeywordList(l); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDestroyer>;

ListPtr MakeList(const Pairs& pairs) { return ListPtr(ListFromPairs(pairs)); }

Pairs Contents(KeywordList* list) {
  Pairs pairs;
  EXPECT_TRUE(PairsFromList(list, &pairs));
  return pairs;
}

// Takes the chain over and returns its texts.
std::vector<std::string> Take(AliasList* list) {
  std::vector<std::string> texts;
  for (AliasList* a = list; a != nullptr; a = a->next)
    texts.push_back(a->alias);
  OTFreeAliasList(list);
  return texts;
}

int LastStatus() {
  int status = -1;
  OTLastError(&status);
  return status;
}

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Put("disk1",
        {{"size", "12"}, {"vendor", "ACME"}, {"do_spin", "echo up=1"}});
    Put("disk2", {{"size", "40"}, {"vendor", "ZETA"}});
    Put("tape1", {{"vendor", "ACME"}, {"do_rewind", "true"}});
  }
  void Put(const char* alias, const Pairs& pairs) {
    ListPtr list = MakeList(pairs);
    ASSERT_EQ(OTLput(alias, list.get()), 0) << OTLastError(nullptr);
  }
  ScopedMachine machine_;
};

TEST_F(ApiTest, SingleAttributesAndMethodsKeepToTheirKind) {
  struct Case {
    AttributeRecord* (*get)(const char*, const char*);
    const char* alias;
    const char* keyword;
    const char* value;  // nullptr: no record
    int status;
  } cases[] = {
      {OTLgetattr, "disk1", "size", "12", OT_STATUS_OK},
      {OTgetattr, "disk1", "vendor", "ACME", OT_STATUS_OK},
      {OTLgetmethod, "disk1", "do_spin", "echo up=1", OT_STATUS_OK},
      {OTLgetattr, "disk1", "do_spin", nullptr, OT_STATUS_ABSENT},
      {OTLgetmethod, "disk1", "size", nullptr, OT_STATUS_ABSENT},
      {OTLgetattr, "disk1", "colour", nullptr, OT_STATUS_ABSENT},
      {OTLgetattr, "nothing", "size", nullptr, OT_STATUS_ABSENT},
      {OTLgetattr, "bad/alias", "size", nullptr, OT_STATUS_INVALID},
      {OTLgetattr, nullptr, "size", nullptr, OT_STATUS_INVALID},
      {OTLgetattr, "disk1", nullptr, nullptr, OT_STATUS_INVALID},
  };
  for (const Case& c : cases) {
    std::string what = std::string(c.alias ? c.alias : "(null)") + " " +
                       (c.keyword ? c.keyword : "(null)");
    AttributeRecord* record = c.get(c.alias, c.keyword);
    EXPECT_EQ(LastStatus(), c.status) << what;
    if (c.value == nullptr) {
      EXPECT_EQ(record, nullptr) << what;
      continue;
    }
    ASSERT_NE(record, nullptr) << what;
    EXPECT_STREQ(record->keyword, c.keyword);
    EXPECT_STREQ(record->value, c.value);
    free(record);
  }
}

TEST_F(ApiTest, OnlyRealFailuresReachTheLog) {
  free(OTLgetattr("disk1", "colour"));
  free(OTLgetattr("nothing", "size"));
  EXPECT_EQ(machine_.Log(), "");
  free(OTLgetattr("bad/alias", "size"));
  EXPECT_EQ(machine_.Log(),
            "ERROR OTLgetattr: alias \"bad/alias\" holds a blank, control byte "
            "or /\n");
}

TEST_F(ApiTest, ListsOfAttributesAndMethodsKeepStoredOrder) {
  ListPtr attrs(OTLgetattrs("disk1"));
  ListPtr methods(OTLgetmethods("disk1"));
  ListPtr none(OTLgetmethods("disk2"));
  ASSERT_TRUE(attrs && methods && none);
  EXPECT_EQ(Contents(attrs.get()), (Pairs{{"size", "12"}, {"vendor", "ACME"}}));
  EXPECT_EQ(Contents(methods.get()), (Pairs{{"do_spin", "echo up=1"}}));
  EXPECT_EQ(NumberOfKeywords(none.get()), 0);
  EXPECT_EQ(OTLgetattrs("nothing"), nullptr);
}

TEST_F(ApiTest, WholeObjectsSplitIntoTheirTwoLists) {
  ManagedObject* disk = OTLgetobj("disk1");
  ASSERT_NE(disk, nullptr);
  EXPECT_STREQ(disk->alias, "disk1");
  EXPECT_EQ(Contents(disk->attributes),
            (Pairs{{"size", "12"}, {"vendor", "ACME"}}));
  EXPECT_EQ(Contents(disk->methods), (Pairs{{"do_spin", "echo up=1"}}));
  OTFreeObject(disk);
  ManagedObject* plain = OTLgetobj("disk2");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->methods, nullptr);
  OTFreeObject(plain);
  EXPECT_EQ(OTLgetobj("nothing"), nullptr);
  // Create_object takes the lists over, also when it cannot make an object.
  EXPECT_EQ(Create_object(nullptr, CreateKeywordList(), nullptr), nullptr);
  OTFreeObject(Create_object("bare", nullptr, nullptr));
  OTFreeObject(nullptr);
}

TEST_F(ApiTest, MethodNamesBeginWithDo) {
  struct Case {
    const char* keyword;
    int size;
    int result;
  } cases[] = {
      {"do_spin", 33, 1}, {"do_", 33, 0},    {"do", 33, 0},
      {"size", 33, 0},    {"dox", 33, 0},    {"DO_spin", 33, 0},
      {"do_spin", 3, 0},  {"do_spin", 4, 1}, {nullptr, 33, 0},
      {"do_x", 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsMethod(c.keyword, c.size), c.result)
        << (c.keyword ? c.keyword : "(null)") << " " << c.size;
}

TEST_F(ApiTest, NextAliasWalksTheSelectedObjectsInOrder) {
  struct Case {
    const char* selector;
    std::vector<std::string> walk;
  } cases[] = {
      {"all", {"disk1", "disk2", "tape1"}},
      {nullptr, {"disk1", "disk2", "tape1"}},
      {"vendor=ACME", {"disk1", "tape1"}},
      {"size", {"disk1", "disk2"}},
      {"size=99", {}},
      {"do_spin", {}},  // methods are not attributes
      {"alias=disk2", {"disk2"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> walk;
    const char* previous = nullptr;
    while (char* next = OTLnextalias(c.selector, previous)) {
      walk.push_back(next);
      previous = walk.back().c_str();
      if (walk.size() > 10) break;
    }
    EXPECT_EQ(walk, c.walk) << (c.selector ? c.selector : "(null)");
    EXPECT_EQ(LastStatus(), OT_STATUS_ABSENT);
  }
  // The previous alias need not exist any more.
  char* next = OTLnextalias("all", "disk15");
  ASSERT_NE(next, nullptr);
  EXPECT_STREQ(next, "disk2");
  EXPECT_STREQ(OTLnextalias("all", ""), "disk1");
}

TEST_F(ApiTest, SearchListsMatchEveryPairAndLeaveTheCursor) {
  struct Case {
    Pairs search;
    std::vector<std::string> aliases;
  } cases[] = {
      {{}, {"disk1", "disk2", "tape1"}},
      {{{"vendor", "ACME"}}, {"disk1", "tape1"}},
      {{{"vendor", "ACME"}, {"size", "12"}}, {"disk1"}},
      {{{"vendor", "ACME"}, {"size", "40"}}, {}},
      {{{"vendor", "acme"}}, {}},
      {{{"alias", "tape1"}}, {"tape1"}},
      {{{"do_spin", "echo up=1"}}, {}},
  };
  for (const Case& c : cases) {
    ListPtr search = MakeList(c.search);
    KeywordValueBlock* cursor = search->next_kwd_val;
    EXPECT_EQ(Take(OTLgetaliases(search.get())), c.aliases)
        << c.search.size() << " pairs";
    EXPECT_EQ(search->next_kwd_val, cursor);
    EXPECT_EQ(Take(OTgetaliases(search.get())), c.aliases);
  }
  EXPECT_EQ(Take(OTLgetaliases(nullptr)),
            (std::vector<std::string>{"disk1", "disk2", "tape1"}));
}

TEST_F(ApiTest, PutMergesAndRefusesBadInputWhole) {
  Put("disk1", {{"size", "13"}, {"state", "ok"}});
  ListPtr attrs(OTLgetattrs("disk1"));
  EXPECT_EQ(Contents(attrs.get()),
            (Pairs{{"size", "13"}, {"vendor", "ACME"}, {"state", "ok"}}));
  struct Case {
    const char* alias;
    Pairs pairs;
  } bad[] = {
      {"disk1", {{"ok", "1"}, {"alias", "x"}}},
      {"disk1", {{"ok", "1"}, {std::string(32, 'k'), "v"}}},
      {"disk1", {{"ok", "1"}, {"k", std::string(512, 'v')}}},
      {"disk1", {{"ok", "1"}, {"k", "a\"b"}}},
      {".disk1", {{"ok", "1"}}},
  };
  for (const Case& c : bad) {
    ListPtr list = MakeList(c.pairs);
    EXPECT_EQ(OTLput(c.alias, list.get()), -1) << c.alias;
    EXPECT_EQ(LastStatus(), OT_STATUS_INVALID);
  }
  EXPECT_EQ(OTLput("disk1", nullptr), -1);
  AttributeRecord* ok = OTLgetattr("disk1", "ok");
  EXPECT_EQ(ok, nullptr);
  free(ok);
}

TEST_F(ApiTest, PerformRunsTheMethodWithItsParameters) {
  Put("obj", {{"do_echo", "cat"},
              {"do_env",
               "echo alias=$OT_ALIAS method=$OT_METHOD "
               "size=$OT_PARAM_size where=`pwd`"}});
  ListPtr params = MakeList({{"size", "12"}, {"label", "x y"}});
  ListPtr echoed(OTLperform("obj", "do_echo", params.get()));
  ASSERT_TRUE(echoed) << OTLastError(nullptr);
  EXPECT_EQ(Contents(echoed.get()), (Pairs{{"size", "12"}, {"label", "x y"}}));
  ListPtr env(OTLperform("obj", "do_env", params.get()));
  ASSERT_TRUE(env) << OTLastError(nullptr);
  std::string where = machine_.root();
  EXPECT_EQ(Contents(env.get()), (Pairs{{"alias", "obj"},
                                        {"method", "do_env"},
                                        {"size", "12"},
                                        {"where", where}}));
  ListPtr none(OTLperform("obj", "do_echo", nullptr));
  ASSERT_TRUE(none);
  EXPECT_EQ(NumberOfKeywords(none.get()), 0);
  // Parameters travel as a keyword stream; one that would not read back
  // is refused before anything runs.
  ListPtr blank = MakeList({{"two words", "x"}});
  EXPECT_EQ(OTLperform("obj", "do_echo", blank.get()), nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_INVALID);
}

TEST_F(ApiTest, PerformFailuresAreReportedAndLogged) {
  Put("obj", {{"do_fail", "echo partial=1; exit 3"},
              {"do_garbage", "echo =bad"},
              {"do_many", "echo =bad; seq 1 200000"}});
  EXPECT_EQ(OTLperform("obj", "do_fail", nullptr), nullptr);
  EXPECT_STREQ(OTLastError(nullptr),
               "method do_fail of obj exited with status 3");
  EXPECT_EQ(OTLperform("obj", "do_garbage", nullptr), nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_FAILED);
  // Output behind a malformed pair is drained, so the method ends on its
  // own (not on a broken pipe) and the report names the real fault.
  EXPECT_EQ(OTLperform("obj", "do_many", nullptr), nullptr);
  EXPECT_EQ(std::string(OTLastError(nullptr)).substr(0, 46),
            "output of do_many of obj: not a keyword stream");
  EXPECT_EQ(OTLperform("obj", "do_nothing", nullptr), nullptr);
  EXPECT_EQ(LastStatus(), OT_STATUS_ABSENT);
  std::string log = machine_.Log();
  EXPECT_NE(log.find("ERROR OTLperform: method do_fail of obj exited with "
                     "status 3\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("ERROR OTLperform: output of do_garbage of obj: not a "
                     "keyword stream"),
            std::string::npos)
      << log;
}

TEST_F(ApiTest, LibraryTracesShowTheDeviceTable) {
  setenv("OAM_TRACE", "8", 1);
  setenv("OAM_DEVTAB", "/etc/other.tab", 1);
  free(OTgetattr("System", "name_servers"));
  EXPECT_EQ(machine_.Log(),
            "OTTRACE 8 OTgetattr: System name_servers (device table "
            "/etc/other.tab)\n");
  setenv("OAM_TRACE", "7", 1);
  free(OTgetattr("System", "name_servers"));
  EXPECT_EQ(machine_.Log().size(),
            std::string("OTTRACE 8 OTgetattr: System name_servers (device "
                        "table /etc/other.tab)\n")
                .size());
}

}  // namespace
}  // namespace ot
