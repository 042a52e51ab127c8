#include "platform/ot/log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/ot/ot.h"
#include "tests/e2e_util.h"

namespace ot {
namespace {

class LogTest : public ::testing::Test {
 protected:
  std::string Log() const { return e2e::ReadFile(machine_.Under(kLogPath)); }
  e2e::ScopedMachineRoot machine_;
};

TEST_F(LogTest, EverySinkWritesItsLineFormat) {
  setenv("OAM_TRACE", "7", 1);
  const std::string big(5000, 'b');
  IOLog("LS.LSValid", 799, 8, "Nameserver limit %d has been reached at %s=%s.",
        1, "name_servers", "b");
  IOTrace(7, "lock_KELDA", "lock_status %d %d\n", 0, 0);
  OTtrace(7, "LSGetservers", "MaxNameServers=%d\n\n", 3);
  OTerror("LSValid", "server_key = ->%s<-\n", "bogus");
  IOLog("c", 1, 2, "two\nlines\n");
  OTerror("src", "%s|%d", big.c_str(), 42);
  EXPECT_EQ(Log(),
            "LOG LS.LSValid 799 8: Nameserver limit 1 has been reached at "
            "name_servers=b.\n"
            "TRACE 7 lock_KELDA: lock_status 0 0\n"
            "OTTRACE 7 LSGetservers: MaxNameServers=3\n"
            "ERROR LSValid: server_key = ->bogus<-\n"
            "LOG c 1 2: two\nlines\n"
            "ERROR src: " + big + "|42\n");
}

// Traces follow OAM_TRACE; log entries and errors are written whatever it
// says.
TEST_F(LogTest, TracesFollowTheOamTraceThreshold) {
  const struct {
    const char* setting;  // nullptr: unset
    int level;
    bool written;
  } cases[] = {
      {nullptr, 0, false}, {"", 0, false},   {"abc", 0, false},
      {"7x", 7, false},    {"6", 7, false},  {"7", 7, true},
      {"9", 7, true},      {"-1", 0, false}, {" 8", 8, true},
  };
  for (const auto& c : cases) {
    if (c.setting)
      setenv("OAM_TRACE", c.setting, 1);
    else
      unsetenv("OAM_TRACE");
    unlink(machine_.Under(kLogPath).c_str());
    IOTrace(c.level, "io", "x");
    OTtrace(c.level, "ot", "y");
    IOLog("comp", 701, 1, "%s failed", "system");
    OTerror("LSmisc", "z\n");
    const std::string level = std::to_string(c.level);
    EXPECT_EQ(Log(), (c.written ? "TRACE " + level + " io: x\nOTTRACE " +
                                      level + " ot: y\n"
                                : "") +
                         "LOG comp 701 1: system failed\nERROR LSmisc: z\n")
        << "OAM_TRACE=" << (c.setting ? c.setting : "(unset)") << " level "
        << c.level;
  }
}

}  // namespace
}  // namespace ot
