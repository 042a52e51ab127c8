// Tracing: which lines are written, their headers, the shared buffer, the
// file others append to, and the list dump.

#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "sspi/alloc.h"
#include "sspi/sspi_test_util.h"
#include "sspi/stream_test_util.h"
#include "sspi/trace.h"

namespace sspi_test {
namespace {

// A clock that returns the queued tick counts in turn.
std::vector<clock_t> g_ticks;
clock_t FakeClock() {
  clock_t t = g_ticks.front();
  g_ticks.erase(g_ticks.begin());
  return t;
}

class TraceTest : public SspiTest {
 protected:
  void TearDown() override {
    sspi::SetTraceClock(nullptr);
    SspiTest::TearDown();
  }
  void UseTicks(std::vector<clock_t> ticks) {
    g_ticks = std::move(ticks);
    sspi::SetTraceClock(FakeClock);
  }
};

TEST_F(TraceTest, FilterByVerboseOrExplicitLevel) {
  struct Case {
    int verbose, explicit_level, level;
    const char* line;  // nullptr: nothing written
  } cases[] = {
      {0, 0, 9, nullptr},          {0, 0, 0, "addkl: m 1\n"},
      {3, 0, 3, "addkl: m 1\n"},   {3, 0, 4, nullptr},
      {3, 0, 9, nullptr},          {3, 0, -2, "addkl: m 1\n"},
      {0, 9, 9, "addkl: m 1\n"},   {0, 9, 5, nullptr},
      {-1, 0, 0, "addkl: m 1\n"},  {-1, 5, 1, nullptr},
      {6, 0, 6, "addkl: m 1\n"},
  };
  for (const Case& c : cases) {
    sspi_verbose_level = c.verbose;
    sspi_explicit_level = c.explicit_level;
    SSPItrace(c.level, "addkl", "m %d", 1);
    EXPECT_EQ(c.line ? c.line : "", TakeTrace())
        << "verbose " << c.verbose << " explicit " << c.explicit_level
        << " level " << c.level;
  }
}

TEST_F(TraceTest, LongHeaderShowsTicksDifferenceSourceAndLevel) {
  sspi_verbose_level = SSPI_LOG_DEBUG;
  UseTicks({100, 120, 142, -1, 50, 1234567890});
  SSPItrace(SSPI_LOG_ERR, "addkl", "first");
  // A line dropped for want of buffer is not the previous line.
  sspi::FailNthAllocation(0);
  const std::string too_long(sspi::TraceBufferSize(), 'f');
  SSPItrace(SSPI_LOG_ERR, "addkl", too_long.c_str());
  SSPItrace(SSPI_LOG_DEBUG, "ReferenceKeywordInList", "second %s", "x");
  SSPItrace(SSPI_LOG_EMERG, "createkl", "failed clock");
  SSPItrace(SSPI_LOG_EMERG, "createkl", "after it");
  sspi_verbose_level = 12;
  SSPItrace(12, "exactly_twenty_chars", "odd level");
  EXPECT_EQ(
      "00000100    0 addkl                LOG_ERR    : first\n"
      "Cannot re-allocate buffer for trace line output\n"
      "00000142   42 ferenceKeywordInList LOG_DEBUG  : second x\n"
      "-0000001 -143 createkl             LOG_EMERG  : failed clock\n"
      "00000050    0 createkl             LOG_EMERG  : after it\n"
      "1234567890 1234567840 exactly_twenty_chars LOG_12     : odd level\n",
      TakeTrace());
}

TEST_F(TraceTest, SourceLabelsAreNeverTakenAsFormats) {
  sspi_verbose_level = SSPI_LOG_ERR;
  SSPItrace(SSPI_LOG_ERR, "50%s%n", "x=%d", 7);
  EXPECT_EQ("50%s%n: x=7\n", TakeTrace());
  sspi_verbose_level = SSPI_LOG_SSPI;
  UseTicks({5});
  SSPItrace(SSPI_LOG_ERR, "%d", "y");
  EXPECT_EQ("00000005    0 %d                   LOG_ERR    : y\n", TakeTrace());
}

TEST_F(TraceTest, BufferGrowsForLongFormatsAndIsReused) {
  sspi_verbose_level = SSPI_LOG_ERR;
  SSPItrace(SSPI_LOG_ERR, "s", "short");
  size_t before = sspi::TraceBufferSize();
  EXPECT_GE(before, 180u);
  // The buffer is sized by the format, not by what it expands to.
  const std::string format = std::string(before + 100, 'g') + "%d";
  SSPItrace(SSPI_LOG_ERR, "s", format.c_str(), 7);
  size_t grown = sspi::TraceBufferSize();
  EXPECT_EQ(25 + format.size() + 2, grown);
  SSPItrace(SSPI_LOG_ERR, "s", "then %s", "short");
  EXPECT_EQ(grown, sspi::TraceBufferSize());
  EXPECT_EQ("s: short\ns: " + std::string(before + 100, 'g') + "7\ns: then short\n",
            TakeTrace());
}

TEST_F(TraceTest, LinesGoToTheEndOfAFileOthersAppendTo) {
  char path[] = "/tmp/sspi_trace_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  FilePtr ours(fopen(path, "r+"));
  FilePtr other(fopen(path, "a"));
  sspi::SetTraceStream(ours.get());
  sspi_verbose_level = SSPI_LOG_ERR;
  SSPItrace(SSPI_LOG_ERR, "a", "one");
  fputs("other writer\n", other.get());
  fflush(other.get());
  SSPItrace(SSPI_LOG_ERR, "a", "two");
  sspi::SetTraceStream(trace_);
  rewind(ours.get());
  EXPECT_EQ("a: one\nother writer\na: two\n", Rest(ours.get()));
  unlink(path);
}

// The list dump.

using DumpTest = TraceTest;

std::string N(const void* p) {
  return std::to_string(reinterpret_cast<uintptr_t>(p));
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
  std::string out;
  for (size_t at = 0, nl; (nl = lines.find('\n', at)) != std::string::npos; at = nl + 1) {
    out += prefix + lines.substr(at, nl + 1 - at);
  }
  return out;
}

TEST_F(DumpTest, DumpNeedsLevelNine) {
  ListPtr list = MakeList({{"a", "1"}});
  sspi_verbose_level = SSPI_LOG_OT;
  KeywordList not_a_list = {};
  for (KeywordList* l : {list.get(), &not_a_list, static_cast<KeywordList*>(nullptr)}) {
    EXPECT_CODE(SSPI_OK, DumpKeywordList(l));
  }
  EXPECT_EQ("", TakeTrace());

  sspi_verbose_level = SSPI_LOG_SSPI;
  sspi::SetTraceClock([]() -> clock_t { return 7; });
  EXPECT_CODE(SSPI_OK, DumpKeywordList(list.get()));
  EXPECT_EQ(ExpectedDump(list.get(),
                         "00000007    0 debugkl              LOG_SSPI   : "),
            TakeTrace());
  EXPECT_CODE(SSPI_E_BAD_LIST, DumpKeywordList(nullptr));
  EXPECT_EQ("", TakeTrace());
}

TEST_F(DumpTest, DisplayWritesAtTheCurrentLevel) {
  ListPtr list = MakeList({{"a", "1"}, {"b", ""}});
  char *k, *v;
  ReferenceNextKeywordInList(list.get(), &k, &v);
  EXPECT_CODE(SSPI_OK, DisplayKeywordList(list.get()));
  EXPECT_EQ(ExpectedDump(list.get(), "debugkl: "), TakeTrace());
  EXPECT_CODE(SSPI_E_BAD_LIST, DisplayKeywordList(nullptr));
  EXPECT_EQ("", TakeTrace());
}

}  // namespace
}  // namespace sspi_test
