// Shared fixture of the libsspi unit tests: fresh trace levels, trace lines
// captured in a temporary file instead of standard error, the allocation
// failure hook off, lists and streams that are released when a test ends,
// and lists written as short texts such as "*a=1 b=x,y".

#ifndef SSPI_SSPI_TEST_UTIL_H_
#define SSPI_SSPI_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>

#include "sspi.h"
#include "sspi/alloc.h"
#include "sspi/trace.h"

namespace sspi_test {

struct ListDeleter {
  void operator()(KeywordList* list) const { DestroyKeywordList(list); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDeleter>;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// A new list of the space-separated pairs of text ("a=1 b= c=x,y").
inline ListPtr MakeList(const std::string& text) {
  ListPtr list(CreateKeywordList());
  std::istringstream in(text);
  for (std::string pair; std::getline(in, pair, ' ');) {
    size_t eq = pair.find('=');
    std::string keyword = pair.substr(0, eq), value = pair.substr(eq + 1);
    EXPECT_EQ(0, AddKeywordToList(list.get(), keyword.c_str(), value.c_str()));
  }
  return list;
}

// The pairs of list along its chain, "*" before the cursor's item (" *"
// at the end when a walk is over).  Checks the back links, and the count
// unless the header is one of several sharing the chain.
inline std::string Show(const KeywordList* list, bool counted = true) {
  std::string text;
  int count = 0;
  const KeywordValueBlock* prev = nullptr;
  for (auto* b = list->kwd_val_chain; b != nullptr; prev = b, b = b->next_block) {
    EXPECT_EQ(prev, b->prev_block);
    text += count++ ? " " : "";
    text += b == list->next_kwd_val ? "*" : "";
    text += std::string(b->keyword_address) + "=" + b->value_address;
  }
  if (counted) {
    EXPECT_EQ(count, list->number_of_keywords);
  }
  return text + (count > 0 && list->next_kwd_val == nullptr ? " *" : "");
}

// A temporary file holding text, positioned at its start.
inline FilePtr StreamOf(const std::string& text) {
  FilePtr f(tmpfile());
  fwrite(text.data(), 1, text.size(), f.get());
  rewind(f.get());
  return f;
}

// Everything from the current position to the end.
inline std::string Rest(FILE* f) {
  std::string text;
  for (int c; (c = getc(f)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

class SspiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sspi_errno = sspi_verbose_level = sspi_explicit_level = 0;
    sspi::SetTraceStream(trace_.get());
    sspi::ResetTraceClock();
  }
  void TearDown() override {
    sspi::FailNthAllocation(-1);
    sspi::SetTraceStream(nullptr);
    sspi::SetTraceClock(nullptr);
    sspi_verbose_level = sspi_explicit_level = 0;
  }

  // The trace text written since the previous call.
  std::string TakeTrace() {
    rewind(trace_.get());
    std::string text = Rest(trace_.get());
    EXPECT_EQ(0, ftruncate(fileno(trace_.get()), 0));
    rewind(trace_.get());
    return text;
  }

  FilePtr trace_{tmpfile()};
};

}  // namespace sspi_test

#endif  // SSPI_SSPI_TEST_UTIL_H_
