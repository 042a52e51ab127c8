// Net aliases and locality on a machine root whose node name is "alpha".

#include <string>

#include "ls/ls_internal.h"
#include "ls/ls_test_util.h"

namespace {

using ls_test::ListPtr;
using ls_test::MachineRootTest;
using ls_test::Pairs;

class NetaliasTest : public MachineRootTest {};

TEST_F(NetaliasTest, SplitsAtFirstColon) {
  struct {
    std::string text;
    bool split;
    Pairs pairs;
  } cases[] = {
      {"alpha:disk1", true, {{"nodename", "alpha"}, {"alias", "disk1"}}},
      {"alpha:", true, {{"nodename", "alpha"}, {"alias", ""}}},
      {"alpha:a:b", true, {{"nodename", "alpha"}, {"alias", "a:b"}}},
      {":disk1", true, {{"nodename", ""}, {"alias", "disk1"}}},
      {"disk1", false, {}},
      {"", false, {}},
      {"n:" + std::string(517, 'a'), true,  // 519 bytes, the most that fit
       {{"nodename", "n"}, {"alias", std::string(517, 'a')}}},
      {"n:" + std::string(518, 'a'), false, {}},
  };
  for (const auto& c : cases) {
    ListPtr list(LSParseNetalias(c.text.c_str()));
    EXPECT_EQ(list != nullptr, c.split) << c.text;
    EXPECT_EQ(ls_test::Contents(list.get()), c.pairs) << c.text;
  }
  EXPECT_EQ(LSParseNetalias(nullptr), nullptr);
}

TEST_F(NetaliasTest, ComposesWithinItsBuffer) {
  ListPtr list(LSCreateNetalias("alpha", "disk1"));
  EXPECT_EQ(ls_test::Contents(list.get()), (Pairs{{"netalias", "alpha:disk1"}}));
  const std::string node(200, 'n');
  ListPtr fits(LSCreateNetalias(node.c_str(), std::string(318, 'a').c_str()));
  ASSERT_NE(fits, nullptr);
  EXPECT_EQ(ls_test::Contents(fits.get())[0].second.size(), 519u);
  EXPECT_EQ(LSCreateNetalias(node.c_str(), std::string(319, 'a').c_str()), nullptr);
  EXPECT_EQ(LSCreateNetalias(nullptr, "disk1"), nullptr);
  EXPECT_EQ(LSCreateNetalias("alpha", nullptr), nullptr);
}

TEST_F(NetaliasTest, LocalityOfAliasesAndNames) {
  struct {
    const char* text;
    int local;
  } aliases[] = {
      {"disk1", 1},           {"alpha:disk1", 1}, {"alpha:", 1},
      {"beta:disk1", 0},      {"ALPHA:disk1", 0}, {"alpha.example.com:d", 0},
      {":disk1", 0},          {nullptr, 1},
  };
  for (const auto& c : aliases)
    EXPECT_EQ(IsLocalAlias(c.text), c.local) << (c.text ? c.text : "(null)");
  // Too long to be a net alias, it names no object; without a colon it
  // names no other node, whatever its length.
  EXPECT_EQ(IsLocalAlias(("alpha:" + std::string(514, 'a')).c_str()), 0);
  EXPECT_EQ(IsLocalAlias(std::string(600, 'a').c_str()), 1);
  EXPECT_EQ(is_local("alpha"), 1);
  EXPECT_EQ(is_local("Alpha"), 0);
  EXPECT_EQ(is_local("alpha.example.com"), 0);
  EXPECT_EQ(is_local("alph"), 0);
}

TEST_F(NetaliasTest, LocalityOfSearchLists) {
  EXPECT_EQ(IsLocalSearch(nullptr), 1);
  ListPtr none = ls_test::MakeList({{"type", "disk"}});
  EXPECT_EQ(IsLocalSearch(none.get()), 1);
  ListPtr here = ls_test::MakeList({{"type", "disk"}, {"Containment", "alpha"}});
  EXPECT_EQ(IsLocalSearch(here.get()), 1);
  ListPtr there = ls_test::MakeList({{"Containment", "beta"}});
  EXPECT_EQ(IsLocalSearch(there.get()), 0);
  EXPECT_EQ(LogLines("ERROR "), std::vector<std::string>{});
  // An empty Containment cannot be looked up: reported, and taken as local.
  ListPtr empty = ls_test::MakeList({{"Containment", ""}});
  EXPECT_EQ(IsLocalSearch(empty.get()), 1);
  EXPECT_EQ(LogLines("ERROR "),
            std::vector<std::string>{"ERROR LSParse: Error in ReferenceKeywordInList"});
}

// Every operation given no net alias says that the split failed and
// answers nothing, without looking any further.
TEST_F(NetaliasTest, OperationsWithoutANetAliasLogTheFailedSplit) {
  ListPtr pairs = ls_test::MakeList({{"a", "1"}});
  const struct {
    const char* component;
    bool answered;  // the operation's failure result was not given
  } cases[] = {
      {"LS.LSQueryattr", LSQueryattr(nullptr, "size") != nullptr},
      {"LS.LSQuerymeth", LSQuerymeth(nullptr, "do_echo") != nullptr},
      {"LS.LSQueryattrs", LSQueryattrs(nullptr) != nullptr},
      {"LS.LSQuerymeths", LSQuerymeths(nullptr) != nullptr},
      {"LS.LSQueryobj", LSQueryobjs(nullptr) != nullptr},
      {"LS.LSQuerynext", LSQuerynext("all", nullptr) != nullptr},
      {"LS.LSPut", LSPut(nullptr, pairs.get()) != -1},
      {"RS.RSPerform", RSPerform(nullptr, "do_echo", pairs.get()) != nullptr},
  };
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    EXPECT_FALSE(c.answered) << c.component;
    expected.push_back(std::string("LOG ") + c.component +
                       " 702 2: ParseNetalias failed");
  }
  EXPECT_EQ(LogLines("LOG "), expected);
}

}  // namespace
