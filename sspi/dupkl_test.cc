// Copying, merging and removing duplicate keywords.

#include "sspi/sspi_test_util.h"

namespace sspi_test {
namespace {

using CopyTest = SspiTest;

TEST_F(CopyTest, DuplicateCopiesPairsInOrderIntoOwnStorage) {
  ListPtr list = MakeList({{"a", "1"}, {"b", ""}, {"a", "3"}});
  char *k, *v;
  ReferenceNextKeywordInList(list.get(), &k, &v);
  ListPtr copy(DuplicateKeywordList(list.get()));
  ASSERT_NE(nullptr, copy);
  EXPECT_CODE(SSPI_OK, sspi_errno);
  EXPECT_EQ(Contents(list.get()), Contents(copy.get()));
  EXPECT_EQ(copy->kwd_val_chain, copy->next_kwd_val);
  EXPECT_EQ(list->kwd_val_chain, list->next_kwd_val) << "source cursor reset";
  EXPECT_NE(list->kwd_val_chain->storage_area, copy->kwd_val_chain->storage_area);

  ListPtr empty(CreateKeywordList());
  ListPtr empty_copy(DuplicateKeywordList(empty.get()));
  ASSERT_NE(nullptr, empty_copy);
  EXPECT_EQ(0, NumberOfKeywords(empty_copy.get()));
}

TEST_F(CopyTest, MergeAppendsWithoutMergingKeywords) {
  ListPtr dst = MakeList({{"a", "1"}});
  ListPtr src = MakeList({{"a", "2"}, {"b", "3"}});
  EXPECT_CODE(SSPI_OK, AddKeywordListToList(dst.get(), src.get()));
  EXPECT_CODE(SSPI_E_END, sspi_errno) << "left by the end of the walk";
  EXPECT_EQ((Pairs{{"a", "1"}, {"a", "2"}, {"b", "3"}}), Contents(dst.get()));
  EXPECT_EQ(src->kwd_val_chain, src->next_kwd_val);
  EXPECT_EQ(2, NumberOfKeywords(src.get()));

  EXPECT_CODE(SSPI_E_BAD_LIST, AddKeywordListToList(dst.get(), dst.get()));
  EXPECT_CODE(SSPI_E_BAD_LIST, AddKeywordListToList(dst.get(), nullptr));
  EXPECT_CODE(SSPI_E_BAD_LIST, AddKeywordListToList(nullptr, src.get()));
  EXPECT_EQ(3, NumberOfKeywords(dst.get()));
}

TEST_F(CopyTest, RemoveDuplicatesKeepsEachLastOccurrenceInPlace) {
  struct Case {
    Pairs before;
    Pairs after;
    int result;
    const char* notices;  // the level-5 trace
  } cases[] = {
      {{{"a", "1"}, {"b", "2"}, {"a", "3"}, {"a", "4"}},
       {{"b", "2"}, {"a", "4"}},
       1,
       "dupkl: Duplicate Attribute Found for : a  \n"
       "dupkl: Duplicate Attribute Found for : a  \n"},
      {{{"b", "1"}, {"a", "1"}, {"c", "1"}, {"b", "2"}, {"a", "2"}, {"b", "3"}},
       {{"c", "1"}, {"a", "2"}, {"b", "3"}},
       1,
       "dupkl: Duplicate Attribute Found for : b  \n"
       "dupkl: Duplicate Attribute Found for : b  \n"
       "dupkl: Duplicate Attribute Found for : a  \n"},
      {{{"a", "1"}, {"A", "1"}, {"ab", "1"}}, {{"a", "1"}, {"A", "1"}, {"ab", "1"}}, 0, ""},
      {{{"a", "1"}}, {{"a", "1"}}, 0, ""},
      {{}, {}, 0, ""},
  };
  sspi_verbose_level = SSPI_LOG_NOTICE;
  for (const Case& c : cases) {
    ListPtr list = MakeList(c.before);
    TakeTrace();
    EXPECT_EQ(c.result, RemoveDuplicateKeywordFmList(list.get()));
    EXPECT_EQ(c.after, Contents(list.get()));
    EXPECT_EQ(c.after.size(), static_cast<size_t>(NumberOfKeywords(list.get())));
    EXPECT_EQ(c.notices, TakeTrace());
  }
}

TEST_F(CopyTest, RemoveDuplicatesMovesTheCursorPastRemovedItems) {
  ListPtr list = MakeList({{"a", "1"}, {"b", "2"}, {"a", "3"}});
  EXPECT_EQ(1, RemoveDuplicateKeywordFmList(list.get()));
  char *k, *v;
  ASSERT_CODE(SSPI_OK, ReferenceNextKeywordInList(list.get(), &k, &v));
  EXPECT_STREQ("b", k);
  ASSERT_CODE(SSPI_OK, AddKeywordToList(list.get(), "c", "4"));
  EXPECT_EQ((Pairs{{"b", "2"}, {"a", "3"}, {"c", "4"}}), Contents(list.get()));
}

}  // namespace
}  // namespace sspi_test
