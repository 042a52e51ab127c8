#include "platform/ot/cleanup.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/ot/ot.h"
#include "tests/e2e_util.h"

namespace ot {
namespace {

// A cleanup entry as callers build it: a 16-bit kind 0, then the path.
std::vector<char> Entry(const std::string& path) {
  std::vector<char> buf(2 + path.size() + 1, '\0');
  memcpy(buf.data() + 2, path.c_str(), path.size() + 1);
  return buf;
}

// The files still listed when the process exits are removed; a file taken
// off the list, or listed twice and taken off once, is not.
TEST(CleanupTest, ListedFilesAreRemovedWhenTheProcessExits) {
  e2e::ScopedMachineRoot machine;
  const char* const files[] = {"/tmp/ZU_queryA", "/tmp/ZU_paramB",
                               "/tmp/ZU_keepC"};
  for (const char* f : files) e2e::WriteFile(machine.Under(f), "x");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    bool ok = true;
    for (const char* f : files)
      ok = ok && OTcleanup(Entry(f).data(), OT_CLEANUP_ADD) == 0;
    ok = ok && OTcleanup(Entry(files[1]).data(), OT_CLEANUP_ADD) == 0 &&
         OTcleanup(Entry(files[1]).data(), OT_CLEANUP_REMOVE) == 0 &&
         OTcleanup(Entry(files[2]).data(), OT_CLEANUP_REMOVE) == 0 &&
         OTcleanup(Entry(files[2]).data(), OT_CLEANUP_REMOVE) == 1;
    exit(ok ? 0 : 3);  // exit(), not _exit(): the handler must run
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(e2e::ListDir(machine.Under("/tmp")),
            std::vector<std::string>{"ZU_keepC"});
}

}  // namespace
}  // namespace ot
