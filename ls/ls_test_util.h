// Shared fixture of the libls unit tests: a private machine root whose node
// name is "alpha" (e2e::ScopedMachineRoot), traces off unless a test turns
// them on, and lists that are destroyed when the test ends.

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
  // No operation may leave a file of its own in the machine's tmp/.
  void TearDown() override;

  std::string Under(const std::string& path) const { return root_ + path; }
  void WriteRegistry(const std::string& text);
  // The entries of the machine's log that begin with prefix.
  std::vector<std::string> LogLines(const std::string& prefix = "") const {
    return machine_->LogLines(prefix);
  }
  void ClearLog();
  void TraceOn() { setenv("OAM_TRACE", "7", 1); }

  std::unique_ptr<e2e::ScopedMachineRoot> machine_;
  std::string root_;
};

}  // namespace ls_test

#endif  // RUDED_LS_LS_TEST_UTIL_H_
