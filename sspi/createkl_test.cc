// Which pointers count as lists, and destroying them.

#include <stdint.h>
#include <string.h>

#include <memory>

#include "sspi/sspi_test_util.h"

namespace sspi_test {
namespace {

using ValidityTest = SspiTest;

// A header that carries the live stamp but was never created.
KeywordList g_static_fake = {0, nullptr, nullptr, {'S', 'S', 'P', 'I'}};

TEST_F(ValidityTest, OnlyCreatedHeadersWithTheStampAreLists) {
  ListPtr list(CreateKeywordList());
  ASSERT_NE(nullptr, list);
  EXPECT_CODE(SSPI_OK, ValidKeywordList(list.get()));
  EXPECT_CODE(SSPI_E_BAD_LIST, ValidKeywordList(nullptr));
  EXPECT_CODE(SSPI_E_BAD_LIST, sspi_errno);

  list->stamp[3] = 'X';
  EXPECT_CODE(SSPI_E_BAD_LIST, ValidKeywordList(list.get()));
  list->stamp[3] = 'I';

  // Static data lies below every heap block and the stack above: both
  // fakes are outside the window of created addresses.
  KeywordList stack_fake = g_static_fake;
  ASSERT_LT(reinterpret_cast<uintptr_t>(&g_static_fake),
            reinterpret_cast<uintptr_t>(list.get()));
  ASSERT_GT(reinterpret_cast<uintptr_t>(&stack_fake),
            reinterpret_cast<uintptr_t>(list.get()));
  for (KeywordList* fake : {&g_static_fake, &stack_fake}) {
    EXPECT_CODE(SSPI_E_BAD_LIST, ValidKeywordList(fake));
    EXPECT_CODE(SSPI_E_BAD_LIST, AddKeywordToList(fake, "a", "1"));
    EXPECT_EQ(-1, NumberOfKeywords(fake));
    EXPECT_EQ(nullptr, DuplicateKeywordList(fake));
    EXPECT_CODE(SSPI_E_BAD_LIST, sspi_errno);
    EXPECT_EQ(0, RemoveDuplicateKeywordFmList(fake));
    EXPECT_CODE(SSPI_E_BAD_LIST, sspi_errno);
    EXPECT_CODE(SSPI_E_FAILURE, DestroyKeywordList(fake));
    EXPECT_EQ(0, memcmp(fake->stamp, "SSPI", 4)) << "destroy changed a fake";
  }
}

// A caller's copy of a header, with foreign data on both sides.
struct CallersCopy {
  KeywordValueBlock* before;
  KeywordList copy;
  KeywordValueBlock* after;
};

TEST_F(ValidityTest, ACopiedHeaderSharesTheChainAndNoMoreThanThat) {
  ListPtr list = MakeList({{"a", "1"}, {"b", "2"}});
  // Heap blocks interleaved with created headers: one of them soon lies in
  // the window of created addresses, where a copy passes as a list.
  std::vector<ListPtr> lists;
  std::vector<std::unique_ptr<CallersCopy>> places;
  KeywordValueBlock foreign{};
  KeywordList* copy = nullptr;
  for (int i = 0; i < 32 && copy == nullptr; ++i) {
    lists.emplace_back(CreateKeywordList());
    places.push_back(std::make_unique<CallersCopy>(
        CallersCopy{&foreign, *list, &foreign}));
    lists.emplace_back(CreateKeywordList());
    if (ValidKeywordList(&places.back()->copy) == SSPI_OK) {
      copy = &places.back()->copy;
    }
  }
  ASSERT_NE(nullptr, copy);

  EXPECT_CODE(SSPI_OK, AddKeywordToList(copy, "c", "3"));
  EXPECT_EQ(nullptr, foreign.next_block) << "appended behind foreign memory";
  EXPECT_EQ((Pairs{{"a", "1"}, {"b", "2"}, {"c", "3"}}), Contents(copy));
  EXPECT_EQ(3, NumberOfKeywords(copy));
  // The original's last item no longer ends the chain; then the copy
  // removes the item the original appended last.
  EXPECT_CODE(SSPI_OK, AddKeywordToList(list.get(), "d", "4"));
  EXPECT_CODE(SSPI_OK, RemoveKeywordFmList(copy, "d"));
  EXPECT_CODE(SSPI_OK, AddKeywordToList(list.get(), "e", "5"));
  EXPECT_EQ((Pairs{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"e", "5"}}),
            Contents(list.get()));
  EXPECT_STREQ("c", list->kwd_val_chain->next_block->next_block->next_block
                        ->prev_block->keyword_address);

  // Destroying a copy spoils its stamp but frees none of the caller's memory.
  ASSERT_CODE(SSPI_OK, DestroyKeywordList(list.release()));
  copy->kwd_val_chain = copy->next_kwd_val = nullptr;
  EXPECT_CODE(SSPI_OK, DestroyKeywordList(copy));
  EXPECT_EQ(0, memcmp(copy->stamp, "XXXX", 4));
}

TEST_F(ValidityTest, DestroyRefusesWhatIsNotAListAndTracesIt) {
  sspi_verbose_level = SSPI_LOG_ERR;
  EXPECT_CODE(SSPI_E_FAILURE, DestroyKeywordList(nullptr));
  EXPECT_CODE(SSPI_E_FAILURE, sspi_errno);
  EXPECT_EQ("destroykl: KeywordList corrupt, stamp invalid\n", TakeTrace());

  ListPtr list = MakeList({{"a", "1"}, {"b", "2"}});
  EXPECT_CODE(SSPI_OK, DestroyKeywordList(list.release()));
  EXPECT_EQ("", TakeTrace());
}

TEST_F(ValidityTest, CreateAndDestroyTraceEveryAddress) {
  sspi_explicit_level = SSPI_LOG_SSPI;
  KeywordList* list = CreateKeywordList();
  AddKeywordToList(list, "k", "v");
  KeywordValueBlock* item = list->kwd_val_chain;
  char* area = item->storage_area;
  TakeTrace();
  ASSERT_CODE(SSPI_OK, DestroyKeywordList(list));
  auto n = [](const void* p) { return std::to_string(reinterpret_cast<uintptr_t>(p)); };
  EXPECT_EQ("destroykl: KeywordList not null\n"
            "destroykl: free(" + n(area) + ") (storage area)\n"
            "destroykl: free(" + n(item) + ") (keyword block)\n"
            "destroykl: free(" + n(list) + ") (keywordlist)\n",
            TakeTrace());

  list = CreateKeywordList();
  EXPECT_EQ("createkl: return( " + n(list) + " ), errno='0'\n", TakeTrace());
  DestroyKeywordList(list);
}

}  // namespace
}  // namespace sspi_test
