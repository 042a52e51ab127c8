// The one place that composes and runs shell lines: which words it lets
// into a line, how it refuses the others, and how it judges a run.  That
// every operation's words go through it is tested end to end
// (tests/ls_shell_test.cc).

#include "ls/shell_line.h"

#include <string.h>

#include <string>
#include <vector>

#include "ls/ls_test_util.h"

namespace {

using ls::ShellLine;
using ls::WordRule;

class ShellLineTest : public ls_test::MachineRootTest {};

// Every byte alone and inside a word, under each rule: a node name holds
// letters, digits and ". _ -"; any other word also ", : / @ % + =".
TEST_F(ShellLineTest, WordsHoldOnlyWhatBothShellsReadAlike) {
  for (int c = 1; c < 256; ++c) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9');
    const bool node = alnum || strchr("._-", c) != nullptr;
    const bool word = node || strchr(",:/@%+=", c) != nullptr;
    const std::string one(1, static_cast<char>(c));
    for (const std::string& text : {one, "ab" + one + "cd"}) {
      EXPECT_EQ(ls::WordAllowed(text.c_str(), WordRule::kNode), node) << c;
      EXPECT_EQ(ls::WordAllowed(text.c_str(), WordRule::kWord), word) << c;
      EXPECT_EQ(ls::WordAllowed(text.c_str(), WordRule::kPath), word) << c;
      EXPECT_TRUE(ls::WordAllowed(text.c_str(), WordRule::kComposed)) << c;
    }
  }
  // Only a path may be empty; no word may be missing.
  const struct {
    WordRule rule;
    bool empty;
  } rules[] = {{WordRule::kNode, false},
               {WordRule::kWord, false},
               {WordRule::kPath, true},
               {WordRule::kComposed, true}};
  for (const auto& r : rules) {
    EXPECT_EQ(ls::WordAllowed("", r.rule), r.empty);
    EXPECT_FALSE(ls::WordAllowed(nullptr, r.rule));
  }
}

TEST_F(ShellLineTest, RefusalsAreLoggedAndLeaveTheLineEmpty) {
  const std::string fits(4095 - 2, 'a');
  const struct {
    const char* format;
    std::vector<ls::ShellWord> words;
    std::string line;  // "" when refused
    const char* log;
  } cases[] = {
      {"x %s y%%", {{"alias", "d1", WordRule::kWord}}, "x d1 y%", nullptr},
      {"x %s", {{"alias", "a;b", WordRule::kWord}}, "",
       "LOG LS.Test 799 3: alias a;b refused: not allowed in a command line"},
      {"x %s", {{"alias", nullptr, WordRule::kWord}}, "",
       "LOG LS.Test 799 3: alias (none) refused: not allowed in a command "
       "line"},
      {"x %s", {}, "",
       "LOG LS.Test 799 3: command line refused: longer than 4095 bytes"},
      {"x", {{"alias", "d1", WordRule::kWord}}, "",
       "LOG LS.Test 799 3: command line refused: longer than 4095 bytes"},
      {"%sbc", {{"alias", fits.c_str(), WordRule::kWord}}, fits + "bc", nullptr},
      {"%sbcd", {{"alias", fits.c_str(), WordRule::kWord}}, "",
       "LOG LS.Test 799 3: command line refused: longer than 4095 bytes"},
  };
  for (const auto& c : cases) {
    ClearLog();
    ShellLine line;
    EXPECT_EQ(ls::Compose("LS.Test", c.format,
                          std::span<const ls::ShellWord>(c.words), &line),
              !c.line.empty())
        << c.format;
    EXPECT_EQ(line.c_str(), c.line) << c.format;
    EXPECT_EQ(line.size(), c.line.size()) << c.format;
    EXPECT_EQ(LogLines("LOG "), c.log ? std::vector<std::string>{c.log}
                                      : std::vector<std::string>{})
        << c.format;
  }
}

TEST_F(ShellLineTest, JudgesRunStatus) {
  struct {
    const char* code;
    bool ok;
  } cases[] = {{"0", true}, {"1", false}, {"255", false}};
  for (const auto& c : cases) {
    ShellLine line;
    ASSERT_TRUE(ls::Compose("LS.Test", "exit %s", {{"code", c.code, WordRule::kWord}},
                            &line));
    EXPECT_EQ(ls::RunSucceeded(ls::RunLine(line)), c.ok) << c.code;
  }
  ShellLine killed;
  ASSERT_TRUE(ls::Compose("LS.Test", "kill -9 $$", {}, &killed));
  EXPECT_FALSE(ls::RunSucceeded(ls::RunLine(killed)));
  EXPECT_FALSE(ls::RunSucceeded(-1));
  ls::LogRunFailure("LS.Test", -1, killed);
  ls::LogRunFailure("LS.Test", 256, killed);
  EXPECT_EQ(LogLines("LOG "),
            (std::vector<std::string>{"LOG LS.Test 701 1: system failed",
                                      "LOG LS.Test 701 1: kill -9 $$ failed"}));
}

}  // namespace
