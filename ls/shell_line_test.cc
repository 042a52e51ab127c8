// How the one place that composes and runs shell lines judges a run.  The
// words it refuses and the line's limit are tested end to end, through
// every operation that builds a line.

#include "ls/shell_line.h"

#include <string>

#include "ls/ls_test_util.h"

namespace {

using ls::ShellLine;
using ls::WordRule;

class ShellLineTest : public ls_test::MachineRootTest {};

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
