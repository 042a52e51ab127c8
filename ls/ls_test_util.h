// Shared fixture of the libls unit tests: a private machine root named
// "alpha" (RUDED_ROOT), with tmp/ and var/adm/, traces off unless a test
// turns them on, and helpers to read the machine's log.

#ifndef RUDED_LS_LS_TEST_UTIL_H_
#define RUDED_LS_LS_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sspi.h"
#include "tests/e2e_util.h"

namespace ls_test {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct ListDeleter {
  void operator()(KeywordList* list) const {
    if (list != nullptr) DestroyKeywordList(list);
  }
};
using ListPtr = std::unique_ptr<KeywordList, ListDeleter>;

ListPtr MakeList(const Pairs& pairs);
// The pairs along the chain (the cursor is not used).
Pairs Contents(const KeywordList* list);

class MachineRootTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Path of an unmapped path under this machine's root.
  std::string Under(const std::string& path) const;
  void WriteRegistry(const std::string& text);
  // The machine's log, one entry per element.
  std::vector<std::string> LogLines() const;
  // Entries that begin with prefix.
  std::vector<std::string> LogLinesStartingWith(const std::string& prefix) const;
  void ClearLog();
  void TraceOn() { setenv("OAM_TRACE", "7", 1); }

  std::unique_ptr<e2e::ScopedTempDir> dir_;
  std::string root_;
};

}  // namespace ls_test

#endif  // RUDED_LS_LS_TEST_UTIL_H_
