// The list dump.

#include <stdint.h>

#include "sspi/sspi_test_util.h"
#include "sspi/trace.h"

namespace sspi_test {
namespace {

clock_t SevenTicks() { return 7; }

class DumpTest : public SspiTest {
 protected:
  void TearDown() override {
    sspi::SetTraceClock(nullptr);
    SspiTest::TearDown();
  }
};

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
  sspi::SetTraceClock(SevenTicks);
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
