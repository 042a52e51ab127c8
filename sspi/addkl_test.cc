// Building, walking and looking up lists; sets of values.

#include <string.h>

#include "sspi/sspi_test_util.h"

namespace sspi_test {
namespace {

class ListTest : public SspiTest {
 protected:
  // The pairs a complete walk through the cursor returns, and its end code.
  static Pairs Walk(KeywordList* list) {
    Pairs seen;
    char *k, *v;
    int rc;
    while ((rc = ReferenceNextKeywordInList(list, &k, &v)) == SSPI_OK) {
      seen.emplace_back(k, v);
    }
    EXPECT_CODE(SSPI_E_END, rc);
    EXPECT_EQ(nullptr, k);
    EXPECT_EQ(nullptr, v);
    return seen;
  }
};

TEST_F(ListTest, WalkReturnsEveryItemThenEndsAndRestarts) {
  ListPtr empty(CreateKeywordList());
  EXPECT_EQ(0, NumberOfKeywords(empty.get()));
  EXPECT_TRUE(Walk(empty.get()).empty());

  Pairs three = {{"a", "1"}, {"b", ""}, {"a", "3"}};
  ListPtr list = MakeList(three);
  EXPECT_EQ(3, NumberOfKeywords(list.get()));
  EXPECT_EQ(three, Walk(list.get()));
  EXPECT_EQ(three, Walk(list.get())) << "second walk starts at the first item";

  char keyword[16], value[16];
  EXPECT_CODE(SSPI_OK, GetNextKeywordFmList(list.get(), keyword, value));
  EXPECT_STREQ("a", keyword);
  EXPECT_STREQ("1", value);
}

TEST_F(ListTest, CursorFollowsRemovalsAndUpdates) {
  ListPtr list = MakeList({{"a", "1"}, {"b", "2"}, {"c", "3"}});
  char *k, *v;
  ASSERT_CODE(SSPI_OK, ReferenceNextKeywordInList(list.get(), &k, &v));
  // The cursor now stands on b: removing it moves the cursor to c.
  EXPECT_CODE(SSPI_OK, RemoveKeywordFmList(list.get(), "b"));
  ASSERT_CODE(SSPI_OK, ReferenceNextKeywordInList(list.get(), &k, &v));
  EXPECT_STREQ("c", k);

  // Removing the last item and appending again must link behind the new
  // last item, not behind the removed one.
  EXPECT_CODE(SSPI_OK, RemoveKeywordFmList(list.get(), "c"));
  EXPECT_CODE(SSPI_OK, AddKeywordToList(list.get(), "d", "4"));
  EXPECT_CODE(SSPI_OK, UpdateKeywordInList(list.get(), "a", "new"));
  EXPECT_EQ((Pairs{{"d", "4"}, {"a", "new"}}), Contents(list.get()));
  EXPECT_EQ(list->kwd_val_chain, list->kwd_val_chain->next_block->prev_block);
  EXPECT_EQ(nullptr, list->kwd_val_chain->prev_block);
  EXPECT_EQ(2, NumberOfKeywords(list.get()));

  // Emptying the list and refilling it makes the first item the cursor.
  EXPECT_CODE(SSPI_OK, RemoveKeywordFmList(list.get(), "a"));
  EXPECT_CODE(SSPI_OK, RemoveKeywordFmList(list.get(), "d"));
  EXPECT_CODE(SSPI_E_NOT_FOUND, RemoveKeywordFmList(list.get(), "d"));
  EXPECT_EQ(nullptr, list->kwd_val_chain);
  EXPECT_CODE(SSPI_OK, AddKeywordToList(list.get(), "e", "5"));
  EXPECT_EQ(list->kwd_val_chain, list->next_kwd_val);
}

TEST_F(ListTest, UpdateMovesOnlyTheFirstOccurrenceToTheEnd) {
  ListPtr list = MakeList({{"a", "1"}, {"b", "2"}, {"a", "3"}});
  EXPECT_CODE(SSPI_OK, UpdateKeywordInList(list.get(), "a", "9"));
  EXPECT_EQ((Pairs{{"b", "2"}, {"a", "3"}, {"a", "9"}}), Contents(list.get()));
  EXPECT_CODE(SSPI_OK, UpdateKeywordInList(list.get(), "z", "new"));
  EXPECT_EQ("z", Contents(list.get()).back().first);

  // The texts may come from the item being replaced.
  char *k, *v;
  ASSERT_CODE(SSPI_OK, ReferenceKeywordInList(list.get(), "b", &k, &v));
  EXPECT_CODE(SSPI_OK, UpdateKeywordInList(list.get(), k, v));
  EXPECT_EQ((std::pair<std::string, std::string>{"b", "2"}),
            Contents(list.get()).back());
}

TEST_F(ListTest, LookupsFindTheFirstWholeKeyword) {
  ListPtr list = MakeList({{"ab", "x"}, {"a", "1"}, {"a", "2"}, {"e", ""}});
  char *k = nullptr, *v = nullptr;
  EXPECT_CODE(SSPI_OK, ReferenceKeywordInList(list.get(), "a", &k, &v));
  EXPECT_STREQ("1", v);
  EXPECT_EQ(list->kwd_val_chain->next_block->value_address, v);
  EXPECT_CODE(SSPI_E_NO_VALUE, ReferenceKeywordInList(list.get(), "e", &k, &v));
  ASSERT_NE(nullptr, v);
  EXPECT_STREQ("e", k);
  EXPECT_CODE(SSPI_E_NOT_FOUND, ReferenceKeywordInList(list.get(), "A", &k, &v));
  EXPECT_EQ(nullptr, k);
  EXPECT_EQ(nullptr, v);
  EXPECT_CODE(SSPI_E_NOT_FOUND, sspi_errno);

  char value[8] = "junk";
  EXPECT_CODE(SSPI_OK, GetKeywordFmList(list.get(), "ab", value));
  EXPECT_STREQ("x", value);
  EXPECT_CODE(SSPI_E_NO_VALUE, GetKeywordFmList(list.get(), "e", value));
  EXPECT_STREQ("", value);
  strcpy(value, "junk");
  EXPECT_CODE(SSPI_E_NOT_FOUND, GetKeywordFmList(list.get(), "b", value));
  EXPECT_STREQ("", value);
}

TEST_F(ListTest, ValueSetsMatchWholeElements) {
  struct Case {
    const char* before;  // nullptr: keyword absent
    const char* added;
    const char* after;
  } cases[] = {
      {"x,y", "y", "x,y"},   {"x,y", "x", "x,y"},     {"x,y", "z", "x,y,z"},
      {"", "z", "z"},        {"xy,w", "x", "xy,w,x"}, {"w,xy", "y", "w,xy,y"},
      {"x,y", "", "x,y,"},   {nullptr, "v", "v"},
  };
  for (const Case& c : cases) {
    ListPtr list = MakeList({{"other", "o"}});
    if (c.before) AddKeywordToList(list.get(), "k", c.before);
    EXPECT_CODE(SSPI_OK, AddValueToList(list.get(), "k", c.added)) << c.added;
    EXPECT_EQ((Pairs{{"other", "o"}, {"k", c.after}}), Contents(list.get()))
        << (c.before ? c.before : "(absent)") << " + " << c.added;
  }

  sspi_verbose_level = SSPI_LOG_DEBUG - 1;
  sspi_explicit_level = SSPI_LOG_DEBUG;
  ListPtr list = MakeList({{"k", "x,y"}});
  TakeTrace();
  EXPECT_CODE(SSPI_OK, AddValueToList(list.get(), "k", "y"));
  EXPECT_NE(std::string::npos, TakeTrace().find("Value is already in value list"));
}

TEST_F(ListTest, AddValueCanTakeTextFromItsOwnItem) {
  ListPtr list = MakeList({{"k", "abc"}});
  char *k, *v;
  ASSERT_CODE(SSPI_OK, ReferenceKeywordInList(list.get(), "k", &k, &v));
  EXPECT_CODE(SSPI_OK, AddValueToList(list.get(), "k", k));
  ASSERT_CODE(SSPI_OK, ReferenceKeywordInList(list.get(), "k", &k, &v));
  EXPECT_CODE(SSPI_OK, AddValueToList(list.get(), "k", v + 1));
  EXPECT_EQ((Pairs{{"k", "abc,k,bc,k"}}), Contents(list.get()));
}

TEST_F(ListTest, MissingArgumentsAndErrnoRules) {
  ListPtr list = MakeList({{"a", "1"}});
  char *k, *v, buf[8];
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, AddKeywordToList(list.get(), nullptr, "1"));
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, sspi_errno);
  EXPECT_CODE(SSPI_E_BAD_LIST, AddKeywordToList(nullptr, nullptr, "1"));
  // AddValueToList checks its texts before the list.
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, AddValueToList(nullptr, "a", nullptr));
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, sspi_errno);
  // UpdateKeywordInList leaves sspi_errno as the list check set it.
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, UpdateKeywordInList(list.get(), "a", nullptr));
  EXPECT_CODE(SSPI_OK, sspi_errno);
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, UpdateKeywordInList(nullptr, nullptr, "1"));
  EXPECT_CODE(SSPI_E_BAD_LIST, sspi_errno);
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, RemoveKeywordFmList(list.get(), nullptr));
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, ReferenceKeywordInList(list.get(), "a", &k, nullptr));
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, GetNextKeywordFmList(list.get(), buf, nullptr));
  EXPECT_EQ((Pairs{{"a", "1"}}), Contents(list.get()));

  EXPECT_EQ(-1, NumberOfKeywords(nullptr));
  EXPECT_CODE(SSPI_E_BAD_LIST, sspi_errno);
  for (int rc : {RemoveKeywordFmList(nullptr, "a"),
                 ReferenceKeywordInList(nullptr, "a", &k, &v),
                 ReferenceNextKeywordInList(nullptr, &k, &v),
                 GetKeywordFmList(nullptr, "a", buf),
                 GetNextKeywordFmList(nullptr, buf, buf)}) {
    EXPECT_CODE(SSPI_E_BAD_LIST, rc);
  }
}

}  // namespace
}  // namespace sspi_test
