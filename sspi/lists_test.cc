// Lists: which pointers are lists, building, walking, looking up, copying
// and merging them, and every operation under exhausted storage.

#include <stdint.h>
#include <string.h>

#include <functional>
#include <regex>
#include <vector>

#include "sspi/sspi_test_util.h"

namespace sspi_test {
namespace {

using ListTest = SspiTest;
using Op = std::function<int(KeywordList*)>;

// A header that carries the live stamp but was never created.
KeywordList g_static_fake = {0, nullptr, nullptr, {'S', 'S', 'P', 'I'}};

TEST_F(ListTest, EveryOperationRefusesWhatIsNotAList) {
  char *k, *v, buf[8];
  ListPtr good = MakeList("a=1");
  FilePtr out(tmpfile());
  struct Row {
    const char* name;
    Op op;
    int rc;
  } rows[] = {
      {"Valid", [](KeywordList* l) { return ValidKeywordList(l); }, 241},
      {"Number", [](KeywordList* l) { return NumberOfKeywords(l); }, -1},
      {"Add", [](KeywordList* l) { return AddKeywordToList(l, "a", "1"); }, 241},
      {"AddValue", [](KeywordList* l) { return AddValueToList(l, "a", "1"); }, 241},
      {"Update", [](KeywordList* l) { return UpdateKeywordInList(l, "a", "1"); }, 241},
      {"Remove", [](KeywordList* l) { return RemoveKeywordFmList(l, "a"); }, 241},
      {"Ref", [&](KeywordList* l) { return ReferenceKeywordInList(l, "a", &k, &v); }, 241},
      {"RefNext", [&](KeywordList* l) { return ReferenceNextKeywordInList(l, &k, &v); }, 241},
      {"Get", [&](KeywordList* l) { return GetKeywordFmList(l, "a", buf); }, 241},
      {"GetNext", [&](KeywordList* l) { return GetNextKeywordFmList(l, buf, buf); }, 241},
      {"Dup", [](KeywordList* l) { return DuplicateKeywordList(l) ? 1 : 0; }, 0},
      {"RemoveDup", [](KeywordList* l) { return RemoveDuplicateKeywordFmList(l); }, 0},
      {"MergeTo", [&](KeywordList* l) { return AddKeywordListToList(l, good.get()); }, 241},
      {"MergeFrom", [&](KeywordList* l) { return AddKeywordListToList(good.get(), l); }, 241},
      {"Write", [&](KeywordList* l) { return KeywordListToStream(out.get(), l); }, 241},
      {"Display", [](KeywordList* l) { return DisplayKeywordList(l); }, 241},
  };
  ListPtr spoiled = MakeList("");
  spoiled->stamp[3] = 'X';
  // Static data lies below every heap block and the stack above: both
  // fakes are outside the window of created addresses.
  KeywordList stack_fake = g_static_fake;
  ASSERT_LT(uintptr_t(&g_static_fake), uintptr_t(good.get()));
  ASSERT_GT(uintptr_t(&stack_fake), uintptr_t(good.get()));
  sspi_verbose_level = SSPI_LOG_ERR;
  for (KeywordList* l : {static_cast<KeywordList*>(nullptr), spoiled.get(),
                         &g_static_fake, &stack_fake}) {
    for (const Row& r : rows) {
      SCOPED_TRACE(r.name);
      EXPECT_EQ(r.rc, r.op(l));
      EXPECT_EQ(SSPI_E_BAD_LIST, sspi_errno);
    }
    // Destroying is refused and traced, and spoils or frees nothing.
    EXPECT_EQ(SSPI_E_FAILURE, DestroyKeywordList(l));
    EXPECT_EQ(SSPI_E_FAILURE, sspi_errno);
    EXPECT_EQ("destroykl: KeywordList corrupt, stamp invalid\n", TakeTrace());
  }
  EXPECT_EQ(0, memcmp(g_static_fake.stamp, "SSPI", 4));
  EXPECT_EQ(0, memcmp(stack_fake.stamp, "SSPI", 4));
  spoiled->stamp[3] = 'I';
  EXPECT_EQ(0, ValidKeywordList(spoiled.get()));
  EXPECT_EQ("*a=1", Show(good.get()));
}

TEST_F(ListTest, MissingArgumentsAndErrnoRules) {
  char *k, buf[8];
  ListPtr list = MakeList("a=1");
  struct Row {
    const char* name;
    std::function<int()> op;
    int rc, err;  // result and sspi_errno
  } rows[] = {
      {"Add", [&] { return AddKeywordToList(list.get(), nullptr, "1"); }, 254, 254},
      // The list is checked first, except by AddValueToList...
      {"Add", [&] { return AddKeywordToList(nullptr, nullptr, "1"); }, 241, 241},
      {"AddValue", [&] { return AddValueToList(nullptr, "a", nullptr); }, 254, 254},
      // ...and UpdateKeywordInList leaves sspi_errno as the list check set it.
      {"Update", [&] { return UpdateKeywordInList(list.get(), "a", nullptr); }, 254, 0},
      {"Update", [&] { return UpdateKeywordInList(nullptr, nullptr, "1"); }, 254, 241},
      {"Remove", [&] { return RemoveKeywordFmList(list.get(), nullptr); }, 254, 254},
      {"Ref", [&] { return ReferenceKeywordInList(list.get(), "a", &k, nullptr); }, 254, 254},
      {"RefNext", [&] { return ReferenceNextKeywordInList(list.get(), &k, nullptr); }, 254, 254},
      {"Get", [&] { return GetKeywordFmList(list.get(), "a", nullptr); }, 254, 254},
      {"GetNext", [&] { return GetNextKeywordFmList(list.get(), buf, nullptr); }, 254, 254},
      {"Write", [&] { return KeywordListToStream(nullptr, list.get()); }, 254, 254},
      {"Read", [&] { return KeywordStreamToList(nullptr) ? 1 : 0; }, 0, 254},
      {"GetKeyword", [&] { return GetKeyword(stdin, buf, nullptr); }, 254, 254},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    sspi_errno = -1;
    EXPECT_EQ(r.rc, r.op());
    EXPECT_EQ(r.err, sspi_errno);
  }
  EXPECT_EQ("*a=1", Show(list.get()));
}

// One step on a list: what the operation returns (and leaves in
// sspi_errno), what it hands out, and the list afterwards.
struct Step {
  const char *op, *keyword, *value;
  int rc;
  const char *yields, *after;
};

std::string Do(KeywordList* list, const Step& s, int* rc) {
  char kbuf[16] = "junk", vbuf[16] = "junk";
  char *k = kbuf, *v = vbuf;
  const std::string op = s.op;
  if (op == "add") *rc = AddKeywordToList(list, s.keyword, s.value);
  if (op == "value") *rc = AddValueToList(list, s.keyword, s.value);
  if (op == "update") *rc = UpdateKeywordInList(list, s.keyword, s.value);
  if (op == "remove") *rc = RemoveKeywordFmList(list, s.keyword);
  if (op == "ref") *rc = ReferenceKeywordInList(list, s.keyword, &k, &v);
  if (op == "next") *rc = ReferenceNextKeywordInList(list, &k, &v);
  if (op == "get") *rc = GetKeywordFmList(list, s.keyword, vbuf);
  if (op == "getnext") *rc = GetNextKeywordFmList(list, kbuf, vbuf);
  if (op == "get") return vbuf;
  if (op == "getnext") return std::string(kbuf) + "=" + vbuf;
  if (op != "ref" && op != "next") return "";
  return k == nullptr ? "null" : std::string(k) + "=" + v;
}

TEST_F(ListTest, StepByStep) {
  const Step steps[] = {
      {"next", "", "", SSPI_E_END, "null", ""},
      {"add", "a", "1", 0, "", "*a=1"},
      {"add", "b", "", 0, "", "*a=1 b="},
      {"add", "ab", "x", 0, "", "*a=1 b= ab=x"},
      {"add", "a", "2", 0, "", "*a=1 b= ab=x a=2"},
      // Lookups find the first item whose whole keyword matches.
      {"ref", "a", "", 0, "a=1", "*a=1 b= ab=x a=2"},
      {"ref", "b", "", SSPI_E_NO_VALUE, "b=", "*a=1 b= ab=x a=2"},
      {"ref", "A", "", SSPI_E_NOT_FOUND, "null", "*a=1 b= ab=x a=2"},
      {"get", "ab", "", 0, "x", "*a=1 b= ab=x a=2"},
      {"get", "b", "", SSPI_E_NO_VALUE, "", "*a=1 b= ab=x a=2"},
      {"get", "z", "", SSPI_E_NOT_FOUND, "", "*a=1 b= ab=x a=2"},
      // A walk returns every item, ends, and starts again.
      {"next", "", "", 0, "a=1", "a=1 *b= ab=x a=2"},
      {"getnext", "", "", 0, "b=", "a=1 b= *ab=x a=2"},
      {"next", "", "", 0, "ab=x", "a=1 b= ab=x *a=2"},
      {"next", "", "", 0, "a=2", "a=1 b= ab=x a=2 *"},
      {"getnext", "", "", SSPI_E_END, "junk=junk", "*a=1 b= ab=x a=2"},
      {"next", "", "", 0, "a=1", "a=1 *b= ab=x a=2"},
      // Removing the cursor's item moves the cursor on; an update moves
      // the first occurrence to the end.
      {"remove", "b", "", 0, "", "a=1 *ab=x a=2"},
      {"remove", "a", "", 0, "", "*ab=x a=2"},
      {"update", "ab", "new", 0, "", "*a=2 ab=new"},
      // Appending after the last item went links behind the new last one.
      {"remove", "ab", "", 0, "", "*a=2"},
      {"add", "c", "3", 0, "", "*a=2 c=3"},
      // Emptying and refilling makes the first item the cursor.
      {"remove", "a", "", 0, "", "*c=3"},
      {"remove", "c", "", 0, "", ""},
      {"remove", "c", "", SSPI_E_NOT_FOUND, "", ""},
      {"add", "e", "5", 0, "", "*e=5"},
      {"add", "a", "1", 0, "", "*e=5 a=1"},
      {"add", "a", "3", 0, "", "*e=5 a=1 a=3"},
      {"update", "a", "9", 0, "", "*e=5 a=3 a=9"},
      {"update", "z", "new", 0, "", "*e=5 a=3 a=9 z=new"},
      // A set of values grows by whole elements, in its first item only.
      {"value", "a", "3", 0, "", "*e=5 a=3 a=9 z=new"},
      {"value", "a", "x", 0, "", "*e=5 a=3,x a=9 z=new"},
      {"value", "a", "3", 0, "", "*e=5 a=3,x a=9 z=new"},
      {"value", "a", "x", 0, "", "*e=5 a=3,x a=9 z=new"},
      {"value", "z", "ne", 0, "", "*e=5 a=3,x a=9 z=new,ne"},
      {"value", "z", "ew", 0, "", "*e=5 a=3,x a=9 z=new,ne,ew"},
      {"value", "e", "", 0, "", "*e=5, a=3,x a=9 z=new,ne,ew"},
      {"value", "y", "v", 0, "", "*e=5, a=3,x a=9 z=new,ne,ew y=v"},
      {"add", "f", "", 0, "", "*e=5, a=3,x a=9 z=new,ne,ew y=v f="},
      {"value", "f", "abc", 0, "", "*e=5, a=3,x a=9 z=new,ne,ew y=v f=abc"},
  };
  ListPtr list = MakeList("");
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.op) + " " + s.keyword + " " + s.value);
    int rc = -1;
    EXPECT_EQ(s.yields, Do(list.get(), s, &rc));
    EXPECT_EQ(s.rc, rc);
    EXPECT_EQ(s.rc, sspi_errno);
    EXPECT_EQ(s.after, Show(list.get()));
  }
  // The texts may come from the item being extended or replaced.
  char *k, *v;
  ASSERT_EQ(0, ReferenceKeywordInList(list.get(), "f", &k, &v));
  EXPECT_EQ(0, AddValueToList(list.get(), "f", k));
  ASSERT_EQ(0, ReferenceKeywordInList(list.get(), "f", &k, &v));
  EXPECT_EQ(0, AddValueToList(list.get(), "f", v + 1));
  ASSERT_EQ(0, ReferenceKeywordInList(list.get(), "e", &k, &v));
  EXPECT_EQ(0, UpdateKeywordInList(list.get(), k, v));
  EXPECT_EQ("*a=3,x a=9 z=new,ne,ew y=v f=abc,f,bc,f e=5,", Show(list.get()));
  sspi_explicit_level = SSPI_LOG_DEBUG;
  EXPECT_EQ(0, AddValueToList(list.get(), "f", "f"));
  EXPECT_EQ("addkl: Value is already in value list\n", TakeTrace());
}

// A caller's copy of a header, with foreign data on both sides.
struct CallersCopy {
  KeywordValueBlock* before;
  KeywordList copy;
  KeywordValueBlock* after;
};

TEST_F(ListTest, ACopiedHeaderSharesTheChainAndNoMoreThanThat) {
  ListPtr list = MakeList("a=1 b=2");
  // Heap blocks interleaved with created headers: one of them soon lies in
  // the window of created addresses, where a copy passes as a list.
  std::vector<ListPtr> lists;
  std::vector<std::unique_ptr<CallersCopy>> places;
  KeywordValueBlock foreign{};
  KeywordList* copy = nullptr;
  for (int i = 0; i < 32 && copy == nullptr; ++i) {
    lists.emplace_back(CreateKeywordList());
    places.emplace_back(new CallersCopy{&foreign, *list, &foreign});
    lists.emplace_back(CreateKeywordList());
    if (ValidKeywordList(&places.back()->copy) == 0) copy = &places.back()->copy;
  }
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(0, AddKeywordToList(copy, "c", "3"));
  EXPECT_EQ(nullptr, foreign.next_block) << "appended behind foreign memory";
  EXPECT_EQ("*a=1 b=2 c=3", Show(copy));
  // The original's last item no longer ends the chain; then the copy
  // removes the item the original appended last.
  EXPECT_EQ(0, AddKeywordToList(list.get(), "d", "4"));
  EXPECT_EQ(0, RemoveKeywordFmList(copy, "d"));
  EXPECT_EQ(0, AddKeywordToList(list.get(), "e", "5"));
  EXPECT_EQ("*a=1 b=2 c=3 e=5", Show(list.get(), false));
  // Destroying a copy spoils its stamp but frees none of the caller's memory.
  ASSERT_EQ(0, DestroyKeywordList(list.release()));
  copy->kwd_val_chain = copy->next_kwd_val = nullptr;
  EXPECT_EQ(0, DestroyKeywordList(copy));
  EXPECT_EQ(0, memcmp(copy->stamp, "XXXX", 4));
}

TEST_F(ListTest, CopyMergeAndRemoveDuplicates) {
  ListPtr list = MakeList("a=1 b= a=3");
  char *k, *v;
  ReferenceNextKeywordInList(list.get(), &k, &v);
  ListPtr copy(DuplicateKeywordList(list.get()));
  EXPECT_EQ(0, sspi_errno);
  EXPECT_EQ("*a=1 b= a=3", Show(copy.get()));
  EXPECT_EQ("*a=1 b= a=3", Show(list.get())) << "source cursor reset";
  EXPECT_NE(list->kwd_val_chain->storage_area, copy->kwd_val_chain->storage_area);
  EXPECT_EQ("", Show(ListPtr(DuplicateKeywordList(MakeList("").get())).get()));
  // Merging appends without merging keywords.
  ReferenceNextKeywordInList(list.get(), &k, &v);
  EXPECT_EQ(0, AddKeywordListToList(copy.get(), list.get()));
  EXPECT_EQ(SSPI_E_END, sspi_errno) << "left by the end of the walk";
  EXPECT_EQ("*a=1 b= a=3 a=1 b= a=3", Show(copy.get()));
  EXPECT_EQ("*a=1 b= a=3", Show(list.get())) << "source cursor reset";
  EXPECT_EQ(SSPI_E_BAD_LIST, AddKeywordListToList(copy.get(), copy.get()));

  // Removing duplicates keeps each last occurrence in its place, moves
  // the cursor past removed items, and traces a notice for each.
  struct Row {
    const char *before, *after;
    int result;
    const char* notices;  // the keywords in the level-5 trace
  } rows[] = {
      {"a=1 b=2 a=3 a=4", "*b=2 a=4", 1, "aa"},
      {"b=1 a=1 c=1 b=2 a=2 b=3", "*c=1 a=2 b=3", 1, "bba"},
      {"a=1 A=1 ab=1", "*a=1 A=1 ab=1", 0, ""},
      {"a=1", "*a=1", 0, ""},
      {"", "", 0, ""},
  };
  sspi_verbose_level = SSPI_LOG_NOTICE;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.before);
    list = MakeList(r.before);
    EXPECT_EQ(r.result, RemoveDuplicateKeywordFmList(list.get()));
    EXPECT_EQ(r.after, Show(list.get()));
    std::string notices;
    for (const char* c = r.notices; *c; ++c) {
      notices += std::string("dupkl: Duplicate Attribute Found for : ") + *c + "  \n";
    }
    EXPECT_EQ(notices, TakeTrace());
  }
  EXPECT_EQ(0, AddKeywordToList(list.get(), "c", "4"));
  EXPECT_EQ("*c=4", Show(list.get()));
}

// Exhausted storage: every allocation an operation makes is failed in
// turn; the operation must report it, trace it, and leave the list as it
// was, its cursor on the first item (a merge keeps the pairs it appended;
// a copy is destroyed by its caller however far it got).
TEST_F(ListTest, EveryOperationUnderExhaustedStorage) {
  const std::string before = "*a=x b=2 a=3";
  const std::string block =
      "addkl: Cannot get storage for keyword/value block\naddkl: unix_errno=12\n";
  const std::string add = block +
      "addkl: Cannot get storage for keyword/value strings\n"
      "addkl: unix_errno=12\n\naddkl: free(N) (new_kwd_val)\n";
  ListPtr result;  // what op returns, if a list
  ListPtr source = MakeList("c=1 d=2");
  struct Row {
    const char* name;
    Op op;
    int allocations, failed, ok;  // op's result when failed and when not
    const char* after;            // the result or list once op gets through
    std::string trace;            // every failure's, addresses as N
    bool partial = false;         // a failure keeps the pairs added so far
  } rows[] = {
      {"Add", [](KeywordList* l) { return AddKeywordToList(l, "c", "4"); }, 2, 255, 0,
       "*a=x b=2 a=3 c=4", add},
      {"Update", [](KeywordList* l) { return UpdateKeywordInList(l, "a", "5"); }, 2, 255, 0,
       "*b=2 a=3 a=5", add},
      {"AddValue", [](KeywordList* l) { return AddValueToList(l, "a", "y"); }, 1, 255, 0,
       "*a=x,y b=2 a=3", "addkl: Cannot get storage for value\naddkl: unix_errno=12\n\n"},
      {"Merge", [&](KeywordList* l) { return AddKeywordListToList(l, source.get()); }, 4, 255, 0,
       "*a=x b=2 a=3 c=1 d=2", add + add, true},
      {"Dup", [&](KeywordList* l) { result.reset(DuplicateKeywordList(l)); return sspi_errno; },
       7, 255, 0, "*a=x b=2 a=3", add + add + add},
      {"RemoveDup", [](KeywordList* l) { return RemoveDuplicateKeywordFmList(l); }, 8, 0, 1,
       "*b=2 a=3", add + add + add},
      {"Read", [&](KeywordList*) {
         result.reset(KeywordStreamToList(StreamOf("a=1\nb=2\n").get()));
         return result ? 0 : sspi_errno; }, 5, 255, 0, "*a=1 b=2", add + add},
      {"Create", [&](KeywordList*) {
         result.reset(CreateKeywordList());
         return result ? 0 : sspi_errno; }, 1, 255, 0, "", ""},
  };
  sspi_verbose_level = SSPI_LOG_ERR;
  SSPItrace(SSPI_LOG_ERR, "t", "puts the trace buffer in place");
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string trace;
    int n = 0;  // the allocation that fails
    for (; n < 100; ++n) {
      ListPtr list = MakeList("a=x b=2 a=3");
      result.reset();
      TakeTrace();
      sspi::FailNthAllocation(n);
      int rc = r.op(list.get());
      int err = sspi_errno;
      bool failed = sspi::AllocationFailureInjected();
      sspi::FailNthAllocation(-1);
      if (!failed) {
        EXPECT_EQ(r.ok, rc);
        EXPECT_EQ(r.after, Show(result ? result.get() : list.get()));
        break;
      }
      trace += std::regex_replace(TakeTrace(), std::regex("[0-9]{5,}"), "N");
      EXPECT_EQ(r.failed, rc) << "allocation " << n;
      EXPECT_EQ(255, err) << "allocation " << n;
      std::string kept = Show(list.get());
      EXPECT_EQ(r.partial ? std::string(r.after).substr(0, kept.size()) : before, kept);
      EXPECT_EQ(r.partial ? 3 + n / 2 : 3, list->number_of_keywords);
    }
    EXPECT_EQ(r.allocations, n);
    EXPECT_EQ(r.trace, trace);
  }
}

}  // namespace
}  // namespace sspi_test
