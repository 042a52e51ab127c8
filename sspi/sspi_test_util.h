// Shared fixture of the libsspi unit tests: fresh trace levels, trace lines
// captured in a temporary file instead of standard error, the allocation
// failure hook off, and lists that are destroyed when the test ends.

#ifndef SSPI_SSPI_TEST_UTIL_H_
#define SSPI_SSPI_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sspi.h"

namespace sspi_test {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct ListDeleter {
  void operator()(KeywordList* list) const { DestroyKeywordList(list); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDeleter>;

// A new list holding pairs, in order.
ListPtr MakeList(const Pairs& pairs);

// The pairs of list, read along its chain (the cursor is not used).
Pairs Contents(const KeywordList* list);

// "SSPI_E_NOT_FOUND (242)" and so on, for failure messages.
std::string CodeName(int code);

::testing::AssertionResult CodeEq(const char* expected_expr,
                                  const char* actual_expr, int expected,
                                  int actual);

// Compares result codes and prints both by name.
#define EXPECT_CODE(expected, actual) \
  EXPECT_PRED_FORMAT2(::sspi_test::CodeEq, expected, actual)
#define ASSERT_CODE(expected, actual) \
  ASSERT_PRED_FORMAT2(::sspi_test::CodeEq, expected, actual)

class SspiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The trace text written since the previous call.
  std::string TakeTrace();

  FILE* trace_ = nullptr;
};

}  // namespace sspi_test

#endif  // SSPI_SSPI_TEST_UTIL_H_
