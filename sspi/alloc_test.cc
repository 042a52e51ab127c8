// Exhausted storage: every allocation an operation makes is failed in
// turn, and the operation must report it and leave every list as it was.

#include <functional>

#include "sspi/alloc.h"
#include "sspi/sspi_test_util.h"
#include "sspi/stream_test_util.h"
#include "sspi/trace.h"

namespace sspi_test {
namespace {

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
