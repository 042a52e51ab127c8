#include "sspi/sspi_test_util.h"

#include <unistd.h>

#include "sspi/alloc.h"
#include "sspi/trace.h"

namespace sspi_test {

ListPtr MakeList(const Pairs& pairs) {
  ListPtr list(CreateKeywordList());
  for (const auto& [k, v] : pairs) {
    EXPECT_EQ(0, AddKeywordToList(list.get(), k.c_str(), v.c_str()));
  }
  return list;
}

Pairs Contents(const KeywordList* list) {
  Pairs pairs;
  for (auto* b = list->kwd_val_chain; b != nullptr; b = b->next_block) {
    pairs.emplace_back(b->keyword_address, b->value_address);
  }
  return pairs;
}

std::string CodeName(int code) {
  static const std::pair<int, const char*> kNames[] = {
      {SSPI_OK, "SSPI_OK"},
      {SSPI_E_BAD_LIST, "SSPI_E_BAD_LIST"},
      {SSPI_E_NOT_FOUND, "SSPI_E_NOT_FOUND"},
      {SSPI_E_NO_VALUE, "SSPI_E_NO_VALUE"},
      {SSPI_E_END, "SSPI_E_END"},
      {SSPI_E_VALUE_TOO_LONG, "SSPI_E_VALUE_TOO_LONG"},
      {SSPI_E_KEYWORD_TOO_LONG, "SSPI_E_KEYWORD_TOO_LONG"},
      {SSPI_E_OPEN_QUOTE, "SSPI_E_OPEN_QUOTE"},
      {SSPI_E_EMPTY_VALUE, "SSPI_E_EMPTY_VALUE"},
      {SSPI_E_BAD_ARGUMENT, "SSPI_E_BAD_ARGUMENT"},
      {SSPI_E_FAILURE, "SSPI_E_FAILURE"}};
  for (const auto& [value, name] : kNames) {
    if (value == code) return std::string(name) + " (" + std::to_string(code) + ")";
  }
  return std::to_string(code);
}

::testing::AssertionResult CodeEq(const char* expected_expr,
                                  const char* actual_expr, int expected,
                                  int actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual_expr << " is " << CodeName(actual) << ", expected "
         << expected_expr << " = " << CodeName(expected);
}

void SspiTest::SetUp() {
  sspi_errno = 0;
  sspi_verbose_level = 0;
  sspi_explicit_level = 0;
  sspi::FailNthAllocation(-1);
  trace_ = tmpfile();
  ASSERT_NE(nullptr, trace_);
  sspi::SetTraceStream(trace_);
  sspi::SetTraceClock(nullptr);
  sspi::ResetTraceClock();
}

void SspiTest::TearDown() {
  sspi::FailNthAllocation(-1);
  sspi::SetTraceStream(nullptr);
  sspi_verbose_level = 0;
  sspi_explicit_level = 0;
  if (trace_) fclose(trace_);
}

std::string SspiTest::TakeTrace() {
  std::string text;
  rewind(trace_);
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, trace_)) > 0) text.append(chunk, n);
  fflush(trace_);
  EXPECT_EQ(0, ftruncate(fileno(trace_), 0));
  rewind(trace_);
  return text;
}

}  // namespace sspi_test
