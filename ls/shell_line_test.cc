// The one place that composes shell lines: which words pass, where lines
// end, and how a run's status is judged.

#include "ls/shell_line.h"

#include <string>

#include "ls/ls_test_util.h"

namespace {

using ls::ShellLine;
using ls::WordRule;

class ShellLineTest : public ls_test::MachineRootTest {};

TEST_F(ShellLineTest, WordRules) {
  const char* plain[] = {"disk1", "a.b_c-d", "x,y:z/w@v%u+t=s", "-A", "ALPHA9"};
  const char* nodes[] = {"alpha", "node-1.example_x", "9"};
  const char* bad[] = {"",      "a b",  "a;b",   "a\"b", "a'b", "a$b",  "a`b`",
                       "a|b",   "a&b",  "a<b",   "a>b",  "a(b)", "a*",  "a?",
                       "a[b]",  "a\\b", "a\nb",  "a\tb", "~a",  "a#b", "a!b",
                       "a{b}",  "\x80"};
  for (const char* w : plain) {
    EXPECT_TRUE(ls::WordAllowed(w, WordRule::kWord)) << w;
    EXPECT_TRUE(ls::WordAllowed(w, WordRule::kPath)) << w;
  }
  for (const char* w : nodes) EXPECT_TRUE(ls::WordAllowed(w, WordRule::kNode)) << w;
  for (const char* w : {"a:b", "a/b", "a=b", "a@b", "a,b", "a%b", "a+b"})
    EXPECT_FALSE(ls::WordAllowed(w, WordRule::kNode)) << w;
  for (const char* w : bad) {
    EXPECT_FALSE(ls::WordAllowed(w, WordRule::kWord)) << w;
    EXPECT_FALSE(ls::WordAllowed(w, WordRule::kNode)) << w;
  }
  EXPECT_TRUE(ls::WordAllowed("", WordRule::kPath));
  EXPECT_FALSE(ls::WordAllowed(nullptr, WordRule::kWord));
  EXPECT_TRUE(ls::WordAllowed("a;b \"c\"", WordRule::kComposed));
}

TEST_F(ShellLineTest, RefusesWordsAndLongLines) {
  ShellLine line;
  EXPECT_FALSE(ls::Compose("LS.Test", "echo %s", {{"alias", "x;y", WordRule::kWord}},
                           &line));
  EXPECT_STREQ(line.c_str(), "");
  // 4095 bytes fit the buffer with the NUL; 4096 do not.
  const std::string fits(4095 - 5, 'a');
  ASSERT_TRUE(ls::Compose("LS.Test", "echo %s", {{"alias", fits.c_str(), WordRule::kWord}},
                          &line));
  EXPECT_EQ(line.size(), 4095u);
  const std::string over = fits + "a";
  EXPECT_FALSE(ls::Compose("LS.Test", "echo %s",
                           {{"alias", over.c_str(), WordRule::kWord}}, &line));
  EXPECT_EQ(line.size(), 0u);
  EXPECT_EQ(LogLines("LOG "),
            (std::vector<std::string>{
                "LOG LS.Test 799 3: alias x;y refused: not allowed in a command line",
                "LOG LS.Test 799 3: command line refused: longer than 4095 bytes"}));
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
