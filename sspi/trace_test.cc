// Tracing: which lines are written, their headers, the shared buffer, the
// file others append to, the list dump, and what creating and destroying
// a list traces.

#include <stdint.h>
#include <stdlib.h>

#include <regex>

#include "sspi/sspi_test_util.h"

namespace sspi_test {
namespace {

using TraceTest = SspiTest;

// An address as the trace prints it.
std::string N(const void* p) {
  return std::to_string(reinterpret_cast<uintptr_t>(p));
}

TEST_F(TraceTest, FilterByVerboseOrExplicitLevel) {
  struct Row {
    int verbose, explicit_level, level;
    bool written;
  } rows[] = {
      {0, 0, 9, false}, {0, 0, 0, true},  {3, 0, 3, true}, {3, 0, 4, false},
      {3, 0, 9, false}, {3, 0, -2, true}, {0, 9, 9, true}, {0, 9, 5, false},
      {-1, 0, 0, true}, {-1, 5, 1, false}, {6, 0, 6, true},
  };
  for (const Row& r : rows) {
    sspi_verbose_level = r.verbose;
    sspi_explicit_level = r.explicit_level;
    SSPItrace(r.level, "addkl", "m %d", 1);
    EXPECT_EQ(r.written ? "addkl: m 1\n" : "", TakeTrace())
        << "verbose " << r.verbose << " explicit " << r.explicit_level
        << " level " << r.level;
  }
  // Without a stream of its own, the trace goes to standard error.
  sspi::SetTraceStream(nullptr);
  testing::internal::CaptureStderr();
  SSPItrace(SSPI_LOG_EMERG, "t", "on standard error");
  EXPECT_EQ("t: on standard error\n", testing::internal::GetCapturedStderr());
}

TEST_F(TraceTest, LongHeaderShowsTicksDifferenceSourceAndLevel) {
  sspi_verbose_level = SSPI_LOG_DEBUG;
  // A clock that returns these tick counts in turn.
  static const clock_t kTicks[] = {100, 120, 142, -1, 50, 51, 1234567890};
  static int next = 0;
  sspi::SetTraceClock([] { return kTicks[next++]; });
  SSPItrace(SSPI_LOG_ERR, "addkl", "first");
  // A line dropped for want of buffer is not the previous line.
  sspi::FailNthAllocation(0);
  const std::string too_long(sspi::TraceBufferSize(), 'f');
  SSPItrace(SSPI_LOG_ERR, "addkl", too_long.c_str());
  SSPItrace(SSPI_LOG_DEBUG, "ReferenceKeywordInList", "second %s", "x");
  SSPItrace(SSPI_LOG_EMERG, "createkl", "failed clock");
  SSPItrace(SSPI_LOG_EMERG, "createkl", "after it");
  // A source label is never taken as a format.
  SSPItrace(SSPI_LOG_ERR, "%d", "y");
  sspi_verbose_level = 12;
  SSPItrace(12, "exactly_twenty_chars", "odd level");
  EXPECT_EQ(
      "00000100    0 addkl                LOG_ERR    : first\n"
      "Cannot re-allocate buffer for trace line output\n"
      "00000142   42 ferenceKeywordInList LOG_DEBUG  : second x\n"
      "-0000001 -143 createkl             LOG_EMERG  : failed clock\n"
      "00000050    0 createkl             LOG_EMERG  : after it\n"
      "00000051    1 %d                   LOG_ERR    : y\n"
      "1234567890 1234567839 exactly_twenty_chars LOG_12     : odd level\n",
      TakeTrace());
}

TEST_F(TraceTest, BufferIsSizedByTheFormatAndOnlyGrows) {
  sspi_verbose_level = SSPI_LOG_ERR;
  sspi::ForgetTraceBuffer();
  sspi::FailNthAllocation(0);
  SSPItrace(SSPI_LOG_ERR, "s", "dropped");
  EXPECT_EQ("Cannot allocate buffer for trace line output\n", TakeTrace());
  EXPECT_EQ(0u, sspi::TraceBufferSize());
  SSPItrace(SSPI_LOG_ERR, "50%s%n", "x=%d", 7);
  size_t before = sspi::TraceBufferSize();
  EXPECT_EQ(180u, before);
  // Sized by the format, not by what it expands to.
  const std::string format = std::string(before + 100, 'g') + "%d";
  SSPItrace(SSPI_LOG_ERR, "s", format.c_str(), 7);
  size_t grown = sspi::TraceBufferSize();
  EXPECT_EQ(25 + format.size() + 2, grown);
  SSPItrace(SSPI_LOG_ERR, "s", "then %s", "short");
  sspi::FailNthAllocation(0);
  SSPItrace(SSPI_LOG_ERR, "s", (format + format).c_str(), 1, 2);
  EXPECT_EQ(grown, sspi::TraceBufferSize());
  EXPECT_EQ("50%s%n: x=7\ns: " + std::string(before + 100, 'g') +
                "7\ns: then short\n"
                "Cannot re-allocate buffer for trace line output\n",
            TakeTrace());
}

TEST_F(TraceTest, LinesGoToTheEndOfAFileOthersAppendTo) {
  // A second open of the capture file, as another process would have.
  std::string path = "/proc/self/fd/" + std::to_string(fileno(trace_.get()));
  FilePtr other(fopen(path.c_str(), "a"));
  sspi_verbose_level = SSPI_LOG_ERR;
  SSPItrace(SSPI_LOG_ERR, "a", "one");
  fputs("other writer\n", other.get());
  fflush(other.get());
  SSPItrace(SSPI_LOG_ERR, "a", "two");
  EXPECT_EQ("a: one\nother writer\na: two\n", TakeTrace());
}

// The dump of list, each line behind prefix.
std::string ExpectedDump(const KeywordList* list, const std::string& prefix) {
  std::string lines = "KEYWORD_LIST_DUMP\n--- KeywordList header block ---\n"
      "   list header stamp   =SSPI\n"
      "   keyword_list_address=" + N(list) + "\n"
      "   number_of_keywords  =" + std::to_string(list->number_of_keywords) + "\n"
      "   kwd_val_chain       =" + N(list->kwd_val_chain) + "\n"
      "   next_kwd_val        =" + N(list->next_kwd_val) + "\n"
      "--- Keyword list items       ---\n";
  for (auto* b = list->kwd_val_chain; b; b = b->next_block) {
    lines += "--- Next item   ---\nkwd_val(block addr)=" + N(b) + "\n"
        "         prev_block=" + N(b->prev_block) + "\n"
        "         next_block=" + N(b->next_block) + "\n"
        "       storage_area=" + N(b->storage_area) + "\n"
        "    keyword_address=" + N(b->keyword_address) + "\n"
        "            keyword=" + b->keyword_address + "\n"
        "      value_address=" + N(b->value_address) + "\n"
        "              value=" + b->value_address + "\n--- End item    ---\n";
  }
  lines += "--- End of list ---\n";
  return std::regex_replace(lines, std::regex("^(.)", std::regex::multiline), prefix + "$1");
}

TEST_F(TraceTest, DisplayWritesAtTheCurrentLevelAndDumpNeedsLevelNine) {
  ListPtr list = MakeList("a=1 b=");
  char *k, *v;
  ReferenceNextKeywordInList(list.get(), &k, &v);
  EXPECT_EQ(0, DisplayKeywordList(list.get()));
  EXPECT_EQ(ExpectedDump(list.get(), "debugkl: "), TakeTrace());
  sspi_verbose_level = SSPI_LOG_OT;
  KeywordList not_a_list = {};
  EXPECT_EQ(0, DumpKeywordList(&not_a_list));
  EXPECT_EQ(0, sspi_errno);
  EXPECT_EQ(0, DumpKeywordList(list.get()));
  EXPECT_EQ("", TakeTrace());
  sspi_verbose_level = SSPI_LOG_SSPI;
  sspi::SetTraceClock([]() -> clock_t { return 7; });
  EXPECT_EQ(0, DumpKeywordList(list.get()));
  EXPECT_EQ(ExpectedDump(list.get(), "00000007    0 debugkl              LOG_SSPI   : "),
            TakeTrace());
  EXPECT_EQ(SSPI_E_BAD_LIST, DumpKeywordList(&not_a_list));
  EXPECT_EQ("", TakeTrace());
}

TEST_F(TraceTest, CreateAndDestroyTraceEveryAddress) {
  sspi_explicit_level = SSPI_LOG_SSPI;
  KeywordList* list = CreateKeywordList();
  EXPECT_EQ("createkl: return( " + N(list) + " ), errno='0'\n", TakeTrace());
  AddKeywordToList(list, "k", "v");
  KeywordValueBlock* item = list->kwd_val_chain;
  const std::string area = N(item->storage_area);
  TakeTrace();
  ASSERT_EQ(0, DestroyKeywordList(list));
  EXPECT_EQ("destroykl: KeywordList not null\n"
            "destroykl: free(" + area + ") (storage area)\n"
            "destroykl: free(" + N(item) + ") (keyword block)\n"
            "destroykl: free(" + N(list) + ") (keywordlist)\n",
            TakeTrace());
}

}  // namespace
}  // namespace sspi_test
