// libsspi's unit tests.  Lists and their text form step by step:
// building, walking, looking up, copying, merging, writing and reading
// them; which pointers are lists; every operation under exhausted storage.
// The pair reader's grammar and limits.  Tracing:
// which lines are written, their headers, the shared buffer, the list dump.
// Trace lines are captured in a temporary file, and lists are written as
// short texts such as "*a=1 b=x,y" (the star marks the cursor).

#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "sspi.h"
#include "sspi/alloc.h"
#include "sspi/trace.h"

namespace {

using ListPtr = std::unique_ptr<KeywordList, decltype(&DestroyKeywordList)>;
using FilePtr = std::unique_ptr<FILE, decltype(&fclose)>;

// The pairs of list along its chain, "*" before the cursor's item (" *"
// at the end when a walk is over).  Checks the back links and the count.
inline std::string Show(const KeywordList* list) {
  std::string text;
  int count = 0;
  const KeywordValueBlock* prev = nullptr;
  for (auto* b = list->kwd_val_chain; b != nullptr; prev = b, b = b->next_block) {
    EXPECT_EQ(prev, b->prev_block);
    text += count++ ? " " : "";
    text += b == list->next_kwd_val ? "*" : "";
    text += std::string(b->keyword_address) + "=" + b->value_address;
  }
  EXPECT_EQ(count, list->number_of_keywords);
  return text + (count > 0 && list->next_kwd_val == nullptr ? " *" : "");
}

// A temporary file holding text, positioned at its start.
inline FilePtr StreamOf(const std::string& text) {
  FilePtr f(tmpfile(), fclose);
  fwrite(text.data(), 1, text.size(), f.get());
  rewind(f.get());
  return f;
}

// Everything the stream holds.
inline std::string Content(FILE* f) {
  std::string text;
  rewind(f);
  for (int c; (c = getc(f)) != EOF;) text.push_back(static_cast<char>(c));
  return text;
}

// A new list of the pairs of text as the reader takes them ("a=1 b= c=x,y").
inline ListPtr MakeList(const std::string& text) {
  return ListPtr(KeywordStreamToList(StreamOf(text).get()), DestroyKeywordList);
}

class SspiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sspi_errno = sspi_verbose_level = sspi_explicit_level = 0;
    sspi::FailNthAllocation(-1);
    sspi::SetTraceStream(trace_.get());
  }

  // The trace text written since the previous call, read past the stream,
  // so that what the library did not flush is not there.
  std::string TakeTrace() {
    int fd = fileno(trace_.get());
    std::string text(lseek(fd, 0, SEEK_END), '\0');
    EXPECT_EQ(ssize_t(text.size()), pread(fd, text.data(), text.size(), 0));
    EXPECT_EQ(0, ftruncate(fd, 0));
    return text;
  }

  FilePtr trace_{tmpfile(), fclose};
};

// One step: an operation, its arguments (NULL where null; for lookups a
// null value means a null output), its result (sspi_errno for operations
// that return a list, a count or a flag), what it hands out, and the list
// afterwards.  "list" replaces the list with the pairs of value, read from
// text (which leaves the end code).
struct Step {
  const char *op, *keyword, *value;
  int rc;
  std::string yields, after;
  int err = -1;  // sspi_errno, when it is not rc
};

// Runs s on l, the fail_at-th allocation from the call on failing; returns
// what the operation hands out and leaves its result and sspi_errno.
std::string Do(KeywordList* l, const Step& s, int* rc, int* err, long fail_at = -1) {
  char kbuf[16] = "junk", vbuf[16] = "junk";
  char *k = kbuf, *v = vbuf;
  ListPtr source = MakeList(s.value ? s.value : ""), made(nullptr, DestroyKeywordList);
  FilePtr in = StreamOf(s.value ? s.value : ""), out(tmpfile(), fclose);
  const std::string op = s.op;
  std::string yields;
  int result = INT_MIN;  // none: the result is sspi_errno
  sspi::FailNthAllocation(fail_at);
  if (op == "add") result = AddKeywordToList(l, s.keyword, s.value);
  if (op == "value") result = AddValueToList(l, s.keyword, s.value);
  if (op == "update") result = UpdateKeywordInList(l, s.keyword, s.value);
  if (op == "remove") result = RemoveKeywordFmList(l, s.keyword);
  if (op == "ref") result = ReferenceKeywordInList(l, s.keyword, &k, s.value ? &v : nullptr);
  if (op == "next") result = ReferenceNextKeywordInList(l, &k, s.value ? &v : nullptr);
  if (op == "get") result = GetKeywordFmList(l, s.keyword, s.value ? vbuf : nullptr);
  if (op == "getnext") result = GetNextKeywordFmList(l, kbuf, s.value ? vbuf : nullptr);
  if (op == "valid") result = ValidKeywordList(l);
  if (op == "merge") result = AddKeywordListToList(l, s.value ? source.get() : l);
  if (op == "write") result = KeywordListToStream(s.value ? out.get() : nullptr, l);
  if (op == "count") yields = std::to_string(NumberOfKeywords(l));
  if (op == "dedup") yields = std::to_string(RemoveDuplicateKeywordFmList(l));
  if (op == "dup") made.reset(DuplicateKeywordList(l));
  if (op == "read") made.reset(KeywordStreamToList(s.value ? in.get() : nullptr));
  *rc = result == INT_MIN ? sspi_errno : result;
  *err = sspi_errno;
  if (op == "dup" || op == "read") yields = made ? Show(made.get()) : "null";
  if (op == "ref" || op == "next") yields = k ? std::string(k) + "=" + v : "null";
  if (op == "getnext") yields = std::string(kbuf) + "=" + vbuf;
  if (op == "get") yields = vbuf;
  if (op == "write") yields = Content(out.get());
  return yields;
}

const std::string kFour = "*ab=x a=1 b= a=2";
const std::string kAlready = "addkl: Value is already in value list\n";
const Step kSteps[] = {
    {"next", "", "", SSPI_E_END, "null", ""},
    {"add", "ab", "x", 0, "", "*ab=x"},
    {"add", "a", "1", 0, "", "*ab=x a=1"},
    {"add", "b", "", 0, "", "*ab=x a=1 b="},
    {"add", "a", "2", 0, "", kFour},
    {"valid", "", "", 0, "", kFour},
    {"count", "", "", 0, "4", kFour},
    // Lookups find the first item whose whole keyword matches.
    {"ref", "a", "", 0, "a=1", kFour},
    {"ref", "b", "", SSPI_E_NO_VALUE, "b=", kFour},
    {"ref", "A", "", SSPI_E_NOT_FOUND, "null", kFour},
    {"get", "ab", "", 0, "x", kFour},
    {"get", "b", "", SSPI_E_NO_VALUE, "", kFour},
    // Missing arguments; UpdateKeywordInList leaves sspi_errno as the
    // list check set it.
    {"add", nullptr, "1", SSPI_E_BAD_ARGUMENT, "", kFour},
    {"value", "a", nullptr, SSPI_E_BAD_ARGUMENT, "", kFour},
    {"update", "a", nullptr, SSPI_E_BAD_ARGUMENT, "", kFour, 0},
    {"remove", nullptr, "", SSPI_E_BAD_ARGUMENT, "", kFour},
    {"ref", "a", nullptr, SSPI_E_BAD_ARGUMENT, "junk=junk", kFour},
    {"next", "", nullptr, SSPI_E_BAD_ARGUMENT, "junk=junk", kFour},
    {"get", "a", nullptr, SSPI_E_BAD_ARGUMENT, "junk", kFour},
    {"getnext", "", nullptr, SSPI_E_BAD_ARGUMENT, "junk=junk", kFour},
    {"write", "", nullptr, SSPI_E_BAD_ARGUMENT, "", kFour},
    {"read", "", nullptr, SSPI_E_BAD_ARGUMENT, "null", kFour},
    // A walk returns every item, ends, and starts again.
    {"next", "", "", 0, "ab=x", "ab=x *a=1 b= a=2"},
    {"getnext", "", "", 0, "a=1", "ab=x a=1 *b= a=2"},
    {"next", "", "", 0, "b=", "ab=x a=1 b= *a=2"},
    {"next", "", "", 0, "a=2", "ab=x a=1 b= a=2 *"},
    {"getnext", "", "", SSPI_E_END, "junk=junk", kFour},
    // A copy and a merge take every pair as it is and put the source's
    // cursor on its first item; a merge leaves the walk's end code.
    {"dup", "", "", 0, kFour, kFour},
    {"merge", "", "a=1 c=3", 0, "", "*ab=x a=1 b= a=2 a=1 c=3", SSPI_E_END},
    {"merge", "", nullptr, SSPI_E_BAD_LIST, "", "*ab=x a=1 b= a=2 a=1 c=3"},
    // Removing the cursor's item moves the cursor on; appending after the
    // last item went links behind the new last one.
    {"list", "", "a=1 b=2 c=3", SSPI_E_END, "", "*a=1 b=2 c=3"},
    {"next", "", "", 0, "a=1", "a=1 *b=2 c=3"},
    {"remove", "b", "", 0, "", "a=1 *c=3"},
    {"remove", "c", "", 0, "", "a=1 *"},
    {"add", "d", "4", 0, "", "a=1 d=4 *"},
    // An update moves the first occurrence to the end.
    {"update", "a", "new", 0, "", "d=4 a=new *"},
    {"remove", "a", "", 0, "", "d=4 *"},
    {"remove", "d", "", 0, "", ""},
    {"remove", "d", "", SSPI_E_NOT_FOUND, "", ""},
    // Refilling an emptied list makes the first item the cursor; an update
    // of an absent keyword appends it.
    {"add", "e", "5", 0, "", "*e=5"},
    {"update", "z", "new", 0, "", "*e=5 z=new"},
    // A set of values grows by whole elements, in its first item only; a
    // value already there is noted.
    {"list", "", "k=x,y p=xy,w s=w,xy e= k=1", SSPI_E_END, "", "*k=x,y p=xy,w s=w,xy e= k=1"},
    {"value", "k", "y", 0, kAlready, "*k=x,y p=xy,w s=w,xy e= k=1"},
    {"value", "k", "x", 0, kAlready, "*k=x,y p=xy,w s=w,xy e= k=1"},
    {"value", "k", "z", 0, "", "*k=x,y,z p=xy,w s=w,xy e= k=1"},
    {"value", "p", "x", 0, "", "*k=x,y,z p=xy,w,x s=w,xy e= k=1"},
    {"value", "s", "y", 0, "", "*k=x,y,z p=xy,w,x s=w,xy,y e= k=1"},
    {"value", "e", "z", 0, "", "*k=x,y,z p=xy,w,x s=w,xy,y e=z k=1"},
    {"value", "n", "v", 0, "", "*k=x,y,z p=xy,w,x s=w,xy,y e=z k=1 n=v"},
    // Removing duplicates keeps each last occurrence in its place, moves
    // the cursor past removed items, and notices each removal, keywords in
    // the order of their first occurrence.
    {"list", "", "b=1 a=1 c=1 b=2 a=2 b=3", SSPI_E_END, "", "*b=1 a=1 c=1 b=2 a=2 b=3"},
    {"dedup", "", "", 0, "1 b b a", "*c=1 a=2 b=3"},
    {"list", "", "a=1 A=1 ab=1", SSPI_E_END, "", "*a=1 A=1 ab=1"},
    {"dedup", "", "", 0, "0", "*a=1 A=1 ab=1"},
    // Writing gives one quoted line per pair and puts the cursor on the
    // first item; values are cleaned in the list itself, keywords are not.
    {"next", "", "", 0, "a=1", "a=1 *A=1 ab=1"},
    {"write", "", "", 0, "a=\"1\"\nA=\"1\"\nab=\"1\"\n", "*a=1 A=1 ab=1"},
    // Reading keeps every pair the pair reader keeps, and stops with its
    // code, discarding the list, on any other.
    {"list", "", "", SSPI_E_END, "", ""},
    {"read", "", "\n# c\n \na=\nb\nc=\"\"\nd=x,y # note\ne\n# last", SSPI_E_END,
     "*a= b= c= d=x,y e=", ""},
    {"read", "", "a=1\nb=\"open", SSPI_E_OPEN_QUOTE, "null", ""},
    {"add", "k\x7f", "a\tb\x01\x7f\x80\xff\r\n~!", 0, "", "*k\x7f=a\tb\x01\x7f\x80\xff\r\n~!"},
    {"write", "", "", 0, "k\x7f=\"a b    \r\n~!\"\n", "*k\x7f=a b    \r\n~!"},
};

TEST_F(SspiTest, StepByStep) {
  ListPtr list = MakeList("");
  sspi_verbose_level = SSPI_LOG_NOTICE;
  sspi_explicit_level = SSPI_LOG_DEBUG;
  for (const Step& s : kSteps) {
    SCOPED_TRACE("step " + std::to_string(&s - kSteps));
    if (std::string(s.op) == "list") list = MakeList(s.value);
    int rc = 0, err = 0;
    std::string yields = Do(list.get(), s, &rc, &err);
    // The notices of a removal of duplicates, as the keywords they name.
    yields += std::regex_replace(
        TakeTrace(), std::regex("dupkl: Duplicate Attribute Found for : (.*)  \n"), " $1");
    EXPECT_EQ(s.yields, yields);
    EXPECT_EQ(s.rc, rc);
    EXPECT_EQ(s.err < 0 ? s.rc : s.err, err);
    EXPECT_EQ(s.after, Show(list.get()));
  }

  // The texts may come from the item being extended or replaced.
  list = MakeList("k=abc,k b=2");
  char *k, *v;
  ASSERT_EQ(0, ReferenceKeywordInList(list.get(), "k", &k, &v));
  EXPECT_EQ(0, AddValueToList(list.get(), "k", v + 1));
  ASSERT_EQ(0, ReferenceKeywordInList(list.get(), "k", &k, &v));
  EXPECT_EQ(0, UpdateKeywordInList(list.get(), k, v));
  EXPECT_EQ("*b=2 k=abc,k,bc,k", Show(list.get()));
}

// A header that carries the live stamp but was never created.
KeywordList g_static_fake = {0, nullptr, nullptr, {'S', 'S', 'P', 'I'}};

TEST_F(SspiTest, EveryOperationRefusesWhatIsNotAList) {
  ListPtr good = MakeList("a=1");
  ListPtr spoiled = MakeList("");
  spoiled->stamp[3] = 'X';
  // Static data lies below every heap block and the stack above: both
  // fakes are outside the window of created addresses, or they would pass.
  KeywordList stack_fake = g_static_fake;
  // What the operations hand out for a non-list: buffers and pointers
  // untouched, and these.
  const std::map<std::string, std::string> yields = {
      {"count", "-1"}, {"dedup", "0"}, {"dup", "null"}, {"ref", "junk=junk"},
      {"next", "junk=junk"}, {"get", "junk"}, {"getnext", "junk=junk"}};
  sspi_verbose_level = SSPI_LOG_ERR;
  for (KeywordList* l : {static_cast<KeywordList*>(nullptr), spoiled.get(),
                         &g_static_fake, &stack_fake}) {
    for (const Step& s : kSteps) {
      const std::string op = s.op;
      if (op == "list" || op == "read") continue;
      // Arguments are checked after the list, except by AddValueToList and
      // UpdateKeywordInList, which leaves sspi_errno as the list check set it.
      bool args_first = !s.value && (op == "value" || op == "update");
      int rc = 0, err = 0;
      EXPECT_EQ(yields.count(op) ? yields.at(op) : "", Do(l, s, &rc, &err)) << op;
      EXPECT_EQ(args_first ? SSPI_E_BAD_ARGUMENT : SSPI_E_BAD_LIST, rc) << op;
      EXPECT_EQ(args_first && op == "value" ? SSPI_E_BAD_ARGUMENT : SSPI_E_BAD_LIST, err) << op;
    }
    EXPECT_EQ(SSPI_E_BAD_LIST, AddKeywordListToList(good.get(), l));
    // Destroying is refused and traced, and spoils or frees nothing.
    EXPECT_EQ(SSPI_E_FAILURE, DestroyKeywordList(l));
    EXPECT_EQ(SSPI_E_FAILURE, sspi_errno);
    EXPECT_EQ("destroykl: KeywordList corrupt, stamp invalid\n", TakeTrace());
  }
  EXPECT_EQ(0, memcmp(g_static_fake.stamp, "SSPI", 4));
  spoiled->stamp[3] = 'I';
}

// Exhausted storage: every allocation an operation makes is failed in
// turn; the operation must report it, trace it, and leave the list as it
// was, its cursor on the first item (a merge keeps the pairs it appended;
// a copy is destroyed by its caller however far it got).
TEST_F(SspiTest, EveryOperationUnderExhaustedStorage) {
  const std::string before = "*a=x b=2 a=3";
  const std::string add =
      "addkl: Cannot get storage for keyword/value block\naddkl: unix_errno=12\n"
      "addkl: Cannot get storage for keyword/value strings\n"
      "addkl: unix_errno=12\n\naddkl: free(N) (new_kwd_val)\n";
  struct Row {
    Step step;
    int allocations;     // how many the operation makes
    const char* failed;  // what it hands out when one fails, if fixed
    std::string trace;   // every failure's, addresses as N
    bool partial = false;
  } rows[] = {
      {{"add", "c", "4", 0, "", "*a=x b=2 a=3 c=4"}, 2, "", add},
      {{"update", "a", "5", 0, "", "*b=2 a=3 a=5"}, 2, "", add},
      {{"value", "a", "y", 0, "", "*a=x,y b=2 a=3"}, 1, "",
       "addkl: Cannot get storage for value\naddkl: unix_errno=12\n\n"},
      {{"merge", "", "c=1 d=2", 0, "", "*a=x b=2 a=3 c=1 d=2", SSPI_E_END}, 4, "", add + add, true},
      {{"dup", "", "", 0, before, before}, 7, nullptr, add + add + add},
      {{"dedup", "", "", 0, "1", "*b=2 a=3"}, 8, "0", add + add + add},
      {{"read", "", "a=1\nb=2\n", SSPI_E_END, "*a=1 b=2", before}, 5, "null", add + add},
  };
  sspi_verbose_level = SSPI_LOG_ERR;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.step.op);
    std::string trace;
    int n = 0;  // the allocation that fails
    for (; n < 100; ++n) {
      ListPtr list = MakeList("a=x b=2 a=3");
      int rc = 0, err = 0;
      std::string yields = Do(list.get(), r.step, &rc, &err, n);
      bool failed = sspi::AllocationFailureInjected();
      sspi::FailNthAllocation(-1);
      if (!failed) break;
      trace += std::regex_replace(TakeTrace(), std::regex("[0-9]{5,}"), "N");
      EXPECT_EQ(SSPI_E_FAILURE, rc);
      EXPECT_EQ(SSPI_E_FAILURE, err);
      EXPECT_EQ(r.failed ? r.failed : yields, yields);
      std::string kept = Show(list.get());
      EXPECT_EQ(r.partial ? r.step.after.substr(0, kept.size()) : before, kept);
    }
    EXPECT_EQ(r.allocations, n);
    EXPECT_EQ(r.trace, trace);
  }
}

// The pair reader's grammar and limits.  Each pair is read into buffers of
// exactly the documented sizes, so that a write past them shows under
// AddressSanitizer.
TEST_F(SspiTest, ReadOnePair) {
  const std::string nul("\0", 1), k31(31, 'k'), k32(32, 'k');
  const std::string v511(511, 'v'), v512(512, 'v');
  struct Row {
    std::string in;
    int code;
    std::string read;  // keyword|value|what the stream holds after the call
  } rows[] = {
      // A value may mix bare and quoted parts; the byte that ends a pair
      // is consumed, and nothing after it; pairs may share a line; every
      // byte above 32 is data.
      {"a=x\"y z\"\nb", SSPI_OK, "a|xy z|\nb"},
      {"a=1\xff\x80 b=2", SSPI_OK, "a|1\xff\x80|b=2"},
      {" \n\t# note = \"x\n#\n\r key=v", SSPI_OK, "key|v|"},
      // "#" inside a pair is data; a further "=" starts the value afresh.
      {"a#b=x=c#d\n", SSPI_OK, "a#b|c#d|"},
      // In quotes "=" and newlines are data and other white space becomes
      // blanks; a quoted keyword goes on.
      {"a=\"x=y\n\t" + nul + "z\"", SSPI_OK, "a|x=y\n  z|"},
      {"\"k w\"=v", SSPI_OK, "k w|v|"},
      {"a = 1", SSPI_E_NO_VALUE, "a||= 1"},
      {"a\nb=1", SSPI_E_NO_VALUE, "a||b=1"},
      {"a= 1", SSPI_E_EMPTY_VALUE, "a||1"},
      {"a=1=\n", SSPI_E_EMPTY_VALUE, "a||"},
      {"= 1", SSPI_E_BAD_ARGUMENT, "|| 1"},
      {"\"\"\nx", SSPI_E_BAD_ARGUMENT, "||x"},
      {"a=\"open", SSPI_E_OPEN_QUOTE, "a|open|"},
      {" \n\n\t#c\n  #d\n", SSPI_E_END, "||"},
      // Limits: a keyword holds 31 bytes, a value 511; in quotes a blank
      // or a newline at the limit ends the pair as in a value.
      {k31 + "=v", SSPI_OK, k31 + "|v|"},
      {k32 + "=v", SSPI_E_KEYWORD_TOO_LONG, k32 + "||=v"},
      {"\"" + k31 + " x", SSPI_E_VALUE_TOO_LONG, k31 + " ||x"},
      {"\"" + k31 + "\nx", SSPI_E_OPEN_QUOTE, k31 + "\n||x"},
      {"a=" + v511 + "\n", SSPI_OK, "a|" + v511 + "|"},
      {"a=" + v512 + "x", SSPI_E_VALUE_TOO_LONG, "a|" + v512 + "|x"},
      {"a=\"" + v512 + "\"", SSPI_E_OPEN_QUOTE, "a|" + v512 + "|\""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("input: " + r.in.substr(0, 40));
    FilePtr f = StreamOf(r.in);
    std::vector<char> k(SSPI_KEYWORD_BUFFER, '?'), v(SSPI_VALUE_BUFFER, '?');
    EXPECT_EQ(r.code, GetKeyword(f.get(), k.data(), v.data()));
    EXPECT_EQ(r.code, sspi_errno);
    EXPECT_EQ(r.read, std::string(k.data()) + "|" + v.data() + "|" + r.in.substr(ftell(f.get())));
  }
  EXPECT_EQ(SSPI_E_BAD_ARGUMENT, GetKeyword(stdin, nullptr, nullptr));
  EXPECT_EQ(SSPI_E_BAD_ARGUMENT, sspi_errno);
}

// One trace line a row: the levels in force, the line's level, source and
// format (its %s is given "x"), and whether its buffer cannot be had.  The
// clock reads 100, 121, 142, ...
TEST_F(SspiTest, TraceLines) {
  static clock_t ticks = 79;
  sspi::SetTraceClock([] { return ticks += 21; });
  const std::string g200(200, 'g');
  struct Row {
    int verbose, explicit_level, level;
    const char* source;
    std::string format;
    bool no_storage = false;
  } rows[] = {
      // Filtered out, it allocates nothing; the first buffer is missing.
      {0, 0, 9, "s", "no"},
      {0, 0, 0, "s", "no", true},
      // Up to the verbose level or at the explicit one, with the short
      // header below level 7.
      {6, 0, 6, "addkl", "a %s"},
      {6, 0, 7, "s", "no"},
      {0, 9, 9, "s", "c"},
      {0, 9, 5, "s", "no"},
      // The buffer is sized by the format, not by what it expands to.
      {3, 0, 3, "s", g200 + "%s"},
      // Long headers; a line dropped for want of a larger buffer is not
      // the previous line; long labels keep their last 20 bytes.
      {7, 0, 3, "addkl", "first"},
      {7, 0, 3, "s", g200 + g200, true},
      {7, 0, 7, "ReferenceKeywordInList", "second %s"},
      // A source label is never taken as a format.
      {7, 0, 3, "%d%s", "y"},
  };
  sspi::ForgetTraceBuffer();
  for (const Row& r : rows) {
    sspi_verbose_level = r.verbose;
    sspi_explicit_level = r.explicit_level;
    sspi::FailNthAllocation(r.no_storage ? 0 : -1);
    // Every line goes to the end of the file, wherever it stands.
    rewind(trace_.get());
    SSPItrace(r.level, r.source, r.format.c_str(), "x");
  }
  EXPECT_EQ("Cannot allocate buffer for trace line output\n"
            "addkl: a x\ns: c\ns: " + g200 + "x\n"
            "00000100    0 addkl                LOG_ERR    : first\n"
            "Cannot re-allocate buffer for trace line output\n"
            "00000142   42 ferenceKeywordInList LOG_DEBUG  : second x\n"
            "00000163   21 %d%s                 LOG_ERR    : y\n",
            TakeTrace());
  // Without a stream of its own, the trace goes to standard error.
  sspi::SetTraceStream(nullptr);
  sspi_verbose_level = 0;
  testing::internal::CaptureStderr();
  SSPItrace(SSPI_LOG_EMERG, "t", "on standard error");
  EXPECT_EQ("t: on standard error\n", testing::internal::GetCapturedStderr());
}

// A list's life in the trace, addresses as N: its creation, its dump
// (DumpKeywordList only from level 9), and every free of its destruction.
TEST_F(SspiTest, CreateDumpAndDestroyInTheTrace) {
  auto trace = [this] { return std::regex_replace(TakeTrace(), std::regex("[0-9]{5,}"), "N"); };
  sspi_explicit_level = SSPI_LOG_SSPI;
  KeywordList* list = CreateKeywordList();
  EXPECT_EQ("createkl: return( N ), errno='0'\n", trace());
  sspi_explicit_level = 0;
  ASSERT_EQ(0, AddKeywordToList(list, "a", "1"));
  EXPECT_EQ(0, DisplayKeywordList(list));
  EXPECT_EQ("debugkl: KEYWORD_LIST_DUMP\ndebugkl: --- KeywordList header block ---\n"
            "debugkl:    list header stamp   =SSPI\ndebugkl:    keyword_list_address=N\n"
            "debugkl:    number_of_keywords  =1\ndebugkl:    kwd_val_chain       =N\n"
            "debugkl:    next_kwd_val        =N\ndebugkl: --- Keyword list items       ---\n"
            "debugkl: --- Next item   ---\ndebugkl: kwd_val(block addr)=N\n"
            "debugkl:          prev_block=0\ndebugkl:          next_block=0\n"
            "debugkl:        storage_area=N\ndebugkl:     keyword_address=N\n"
            "debugkl:             keyword=a\ndebugkl:       value_address=N\n"
            "debugkl:               value=1\ndebugkl: --- End item    ---\n"
            "debugkl: --- End of list ---\n",
            trace());
  sspi_verbose_level = SSPI_LOG_OT;
  KeywordList not_a_list = {};
  EXPECT_EQ(0, DumpKeywordList(&not_a_list));
  EXPECT_EQ(0, sspi_errno);
  EXPECT_EQ(0, DumpKeywordList(list));
  EXPECT_EQ("", TakeTrace());
  sspi_verbose_level = SSPI_LOG_SSPI;
  EXPECT_EQ(SSPI_E_BAD_LIST, DumpKeywordList(&not_a_list));
  sspi_verbose_level = 0;
  sspi_explicit_level = SSPI_LOG_SSPI;
  ASSERT_EQ(0, DestroyKeywordList(list));
  EXPECT_EQ("destroykl: KeywordList not null\ndestroykl: free(N) (storage area)\n"
            "destroykl: free(N) (keyword block)\ndestroykl: free(N) (keywordlist)\n",
            trace());
}

}  // namespace
