#include "platform/ot/log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "platform/ot/ot.h"
#include "platform/ot/ot_test_util.h"

namespace ot {
namespace {

class LogTest : public ::testing::Test {
 protected:
  ScopedMachine machine_;
};

TEST_F(LogTest, EverySinkWritesItsLineFormat) {
  setenv("OAM_TRACE", "7", 1);
  IOLog("LS.LSValid", 799, 8, "Nameserver limit %d has been reached at %s=%s.",
        1, "name_servers", "b");
  IOTrace(7, "lock_KELDA", "lock_status %d %d\n", 0, 0);
  OTtrace(7, "LSGetservers", "MaxNameServers=%d\n\n", 3);
  OTerror("LSValid", "server_key = ->%s<-\n", "bogus");
  IOLog("c", 1, 2, "two\nlines\n");
  EXPECT_EQ(machine_.Log(),
            "LOG LS.LSValid 799 8: Nameserver limit 1 has been reached at "
            "name_servers=b.\n"
            "TRACE 7 lock_KELDA: lock_status 0 0\n"
            "OTTRACE 7 LSGetservers: MaxNameServers=3\n"
            "ERROR LSValid: server_key = ->bogus<-\n"
            "LOG c 1 2: two\nlines\n");
}

TEST_F(LogTest, TracesFollowTheOamTraceThreshold) {
  struct Case {
    const char* setting;  // nullptr: unset
    int level;
    bool written;
  } cases[] = {
      {nullptr, 0, false}, {"", 0, false},   {"abc", 0, false},
      {"7x", 7, false},    {"6", 7, false},  {"7", 7, true},
      {"9", 7, true},      {"-1", 0, false}, {" 8", 8, true},
  };
  for (const Case& c : cases) {
    if (c.setting)
      setenv("OAM_TRACE", c.setting, 1);
    else
      unsetenv("OAM_TRACE");
    unlink(machine_.Host(kLogPath).c_str());
    IOTrace(c.level, "io", "x");
    OTtrace(c.level, "ot", "y");
    std::string expected = c.written ? "TRACE " + std::to_string(c.level) +
                                           " io: x\nOTTRACE " +
                                           std::to_string(c.level) + " ot: y\n"
                                     : "";
    EXPECT_EQ(machine_.Log(), expected)
        << "OAM_TRACE=" << (c.setting ? c.setting : "(unset)") << " level "
        << c.level;
  }
}

TEST_F(LogTest, ErrorsAndLogsIgnoreTheTraceSetting) {
  unsetenv("OAM_TRACE");
  IOLog("comp", 701, 1, "%s failed", "system");
  OTerror("LSmisc", "LS_add_temp_file: OTcleanup failed\n");
  EXPECT_EQ(machine_.Log(),
            "LOG comp 701 1: system failed\n"
            "ERROR LSmisc: LS_add_temp_file: OTcleanup failed\n");
}

TEST_F(LogTest, LinesOfConcurrentWritersStayWhole) {
  constexpr int kWriters = 4, kLines = 200;
  const std::string payload(300, 'p');
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0; i < kLines; ++i) IOLog("w", w, i, "%s", payload.c_str());
      _exit(0);
    }
  }
  for (int w = 0; w < kWriters; ++w) wait(nullptr);
  std::istringstream log(machine_.Log());
  int count = 0;
  for (std::string line; std::getline(log, line); ++count) {
    ASSERT_EQ(line.substr(0, 4), "LOG ") << line;
    ASSERT_EQ(line.substr(line.find(": ") + 2), payload) << line;
  }
  EXPECT_EQ(count, kWriters * kLines);
}

TEST_F(LogTest, AnUnwritableLogIsReportedWithItsUnmappedPath) {
  machine_.Write("/var/adm", "a file where the directory should be");
  std::string err;
  EXPECT_FALSE(AppendLogLine("LOG x 1 1: y\n", &err));
  EXPECT_NE(err.find("/var/adm"), std::string::npos) << err;
  EXPECT_EQ(err.find(machine_.root()), std::string::npos) << err;
  IOLog("x", 1, 1, "lost");  // must neither crash nor write elsewhere
  EXPECT_EQ(machine_.Read("/var/adm"), "a file where the directory should be");
}

TEST_F(LogTest, FormatsLongTextWhole) {
  std::string big(5000, 'b');
  OTerror("src", "%s|%d", big.c_str(), 42);
  EXPECT_EQ(machine_.Log(), "ERROR src: " + big + "|42\n");
}

}  // namespace
}  // namespace ot
