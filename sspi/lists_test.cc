// Lists: which pointers are lists, building, walking, looking up, copying
// and merging them, and every operation under exhausted storage.

#include <stdint.h>
#include <string.h>

#include <functional>
#include <memory>
#include <vector>

#include "sspi/alloc.h"
#include "sspi/sspi_test_util.h"
#include "sspi/stream_test_util.h"
#include "sspi/trace.h"

namespace sspi_test {
namespace {

// Which pointers count as lists, and destroying them.

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

// Building, walking and looking up lists; sets of values.

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

// Copying, merging and removing duplicate keywords.

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

// Exhausted storage: every allocation an operation makes is failed in
// turn, and the operation must report it and leave every list as it was.

class AllocTest : public SspiTest {
 protected:
  // Runs op with its n-th allocation failing, for n = 0, 1, ... until op
  // gets through without reaching the failure.  check runs after each
  // failed attempt.  Returns how many allocations op made.
  static int FailEachAllocation(const std::function<void()>& op,
                                const std::function<void(int)>& check) {
    for (int n = 0; n < 100; ++n) {
      sspi::FailNthAllocation(n);
      op();
      bool failed = sspi::AllocationFailureInjected();
      sspi::FailNthAllocation(-1);
      if (!failed) return n;
      check(n);
    }
    ADD_FAILURE() << "operation never got through";
    return -1;
  }
};

TEST_F(AllocTest, ListOperationsReportAndKeepTheList) {
  const Pairs before = {{"a", "x"}, {"b", "2"}, {"a", "3"}};
  ListPtr list = MakeList(before);
  int rc = 0;
  auto unchanged = [&](int n) {
    EXPECT_CODE(SSPI_E_FAILURE, rc) << "allocation " << n;
    EXPECT_CODE(SSPI_E_FAILURE, sspi_errno) << "allocation " << n;
    EXPECT_EQ(before, Contents(list.get())) << "allocation " << n;
  };
  EXPECT_EQ(2, FailEachAllocation(
      [&] { rc = AddKeywordToList(list.get(), "c", "4"); }, unchanged));
  RemoveKeywordFmList(list.get(), "c");
  EXPECT_EQ(2, FailEachAllocation(
      [&] { rc = UpdateKeywordInList(list.get(), "a", "5"); }, unchanged));
  EXPECT_EQ((Pairs{{"b", "2"}, {"a", "3"}, {"a", "5"}}), Contents(list.get()));

  list = MakeList(before);
  EXPECT_EQ(1, FailEachAllocation(
      [&] { rc = AddValueToList(list.get(), "a", "y"); }, unchanged));
  EXPECT_EQ("x,y", Contents(list.get())[0].second);
}

TEST_F(AllocTest, CopiesReportAndKeepTheSource) {
  const Pairs pairs = {{"a", "1"}, {"b", "2"}, {"a", "3"}};
  ListPtr list = MakeList(pairs);
  ListPtr dst = MakeList({{"z", "0"}});
  int copy_errno = 0;
  int allocations = FailEachAllocation(
      [&] {
        ListPtr copy(DuplicateKeywordList(list.get()));
        copy_errno = sspi_errno;
      },
      [&](int n) {
        EXPECT_CODE(SSPI_E_FAILURE, copy_errno) << "allocation " << n;
        EXPECT_EQ(pairs, Contents(list.get())) << "allocation " << n;
        EXPECT_EQ(list->kwd_val_chain, list->next_kwd_val);
      });
  EXPECT_EQ(1 + 2 * 3, allocations);

  int rc = 0;
  FailEachAllocation([&] { rc = AddKeywordListToList(dst.get(), list.get()); },
                     [&](int n) {
                       EXPECT_CODE(SSPI_E_FAILURE, rc) << "allocation " << n;
                       // Pairs appended before the failure stay.
                       EXPECT_EQ(static_cast<size_t>(1 + n / 2),
                                 Contents(dst.get()).size());
                       dst = MakeList({{"z", "0"}});
                     });

  rc = -1;
  FailEachAllocation([&] { rc = RemoveDuplicateKeywordFmList(list.get()); },
                     [&](int n) {
                       EXPECT_EQ(0, rc) << "allocation " << n;
                       EXPECT_CODE(SSPI_E_FAILURE, sspi_errno);
                       EXPECT_EQ(pairs, Contents(list.get())) << "allocation " << n;
                     });
  EXPECT_EQ(1, rc);
  EXPECT_EQ((Pairs{{"b", "2"}, {"a", "3"}}), Contents(list.get()));
}

TEST_F(AllocTest, StreamReaderReportsAndFreesWhatItRead) {
  const std::string text = "a=1\nb=2\n";
  KeywordList* result = nullptr;
  int allocations = FailEachAllocation(
      [&] {
        FilePtr f = StreamOf(text);
        result = KeywordStreamToList(f.get());
      },
      [&](int n) {
        EXPECT_EQ(nullptr, result) << "allocation " << n;
        EXPECT_CODE(SSPI_E_FAILURE, sspi_errno) << "allocation " << n;
      });
  EXPECT_EQ(5, allocations);
  ASSERT_NE(nullptr, result);
  EXPECT_EQ((Pairs{{"a", "1"}, {"b", "2"}}), Contents(result));
  DestroyKeywordList(result);

  sspi::FailNthAllocation(0);
  EXPECT_EQ(nullptr, CreateKeywordList());
  EXPECT_CODE(SSPI_E_FAILURE, sspi_errno);
}

TEST_F(AllocTest, FailuresAreTraced) {
  ListPtr list = MakeList({{"k", "v"}});
  sspi_verbose_level = SSPI_LOG_ERR;
  struct Case {
    long fail;  // which allocation fails
    std::function<int()> op;
    std::string begins, ends;
  } cases[] = {
      {0, [&] { return AddKeywordToList(list.get(), "c", "4"); },
       "addkl: Cannot get storage for keyword/value block\n"
       "addkl: unix_errno=12\n", ""},
      {1, [&] { return UpdateKeywordInList(list.get(), "c", "4"); },
       "addkl: Cannot get storage for keyword/value strings\n"
       "addkl: unix_errno=12\n\naddkl: free(", ") (new_kwd_val)\n"},
      {0, [&] { return AddValueToList(list.get(), "k", "w"); },
       "addkl: Cannot get storage for value\naddkl: unix_errno=12\n\n", ""},
  };
  for (const Case& c : cases) {
    SSPItrace(SSPI_LOG_ERR, "t", "buffer in place");
    TakeTrace();
    sspi::FailNthAllocation(c.fail);
    EXPECT_CODE(SSPI_E_FAILURE, c.op()) << c.begins;
    std::string trace = TakeTrace();
    EXPECT_EQ(c.begins, trace.substr(0, c.begins.size()));
    EXPECT_EQ(c.ends, trace.substr(trace.size() - c.ends.size())) << trace;
  }
  EXPECT_EQ((Pairs{{"k", "v"}}), Contents(list.get()));
}

TEST_F(AllocTest, TraceBufferFailuresDropTheLine) {
  sspi_verbose_level = SSPI_LOG_ERR;
  sspi::ForgetTraceBuffer();
  sspi::FailNthAllocation(0);
  SSPItrace(SSPI_LOG_ERR, "t", "dropped");
  EXPECT_EQ("Cannot allocate buffer for trace line output\n", TakeTrace());
  EXPECT_EQ(0u, sspi::TraceBufferSize());

  SSPItrace(SSPI_LOG_ERR, "t", "kept %d", 1);
  size_t size = sspi::TraceBufferSize();
  std::string format(size, 'f');
  sspi::FailNthAllocation(0);
  SSPItrace(SSPI_LOG_ERR, "t", format.c_str(), 0);
  SSPItrace(SSPI_LOG_ERR, "t", "kept %d", 2);
  EXPECT_EQ("t: kept 1\nCannot re-allocate buffer for trace line output\n"
            "t: kept 2\n", TakeTrace());
  EXPECT_EQ(size, sspi::TraceBufferSize());
}

}  // namespace
}  // namespace sspi_test
