// The parts of qv_cspec whose failures a run cannot bring about at will:
// the exclusion list reader (what it reads: cspec_e2e_test's -r runs) and
// the node table, each out of storage.  Exhausted storage in a whole run
// is robust_alloc_test's.

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "cspec/alloc.h"
#include "cspec/devnum.h"
#include "cspec/node_list.h"
#include "cspec/state.h"
#include "cspec/xlist.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

constexpr const char* kNoList = "(none)";

int g_allocations_left = -1;  // < 0: never fail

void* failing_alloc(size_t size) {
  if (g_allocations_left == 0) return nullptr;
  if (g_allocations_left > 0) --g_allocations_left;
  return malloc(size);
}

TEST(XlistTest, OutOfStorageKeepsWhatWasRead) {
  const struct {
    std::string text;
    std::string list;
    int allowed;
    std::string said;  // between the first and last debug lines
  } cases[] = {
      {"c10t3\n", kNoList, 0, "mkxlist: Malloc of initial space failed\n"},
      // Six entries of 5 fit in 40 bytes; the seventh needs the first
      // growth, which fails: the six stay and reading stops.
      {"c0t10\nc0t11\nc0t12\nc0t13\nc0t14\nc0t15\nc1t10\nc1t11\n",
       "|c0t10|c0t11|c0t12|c0t13|c0t14|c0t15|", 1,
       "mkxlist: Malloc failed on reallocation\n"},
  };
  opt_debug = 1;
  set_cspec_allocator(failing_alloc);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    g_allocations_left = c.allowed;
    std::string text = c.text;
    FILE* in = fmemopen(text.data(), text.size(), "r");
    CaptureStderr();
    build_xlist(in);
    fclose(in);
    EXPECT_EQ(GetCapturedStderr(), "mkxlist: Building the exclusion list\n" +
                                       c.said + "mkxlist: Finished\n");
    // The list as text with 01h shown as '|'.
    std::string list = xlist != nullptr ? xlist : kNoList;
    std::replace(list.begin(), list.end(), kXlistSeparator, '|');
    EXPECT_EQ(list, c.list);
  }
  opt_debug = 0;
  set_cspec_allocator(nullptr);
}

// Out of storage for the entry or for the copy of its name: said, failed,
// and nothing linked.
TEST(NodeListTest, OutOfStorageFailsTheRequest) {
  set_cspec_allocator(failing_alloc);
  for (int allowed : {0, 1}) {
    g_allocations_left = allowed;
    CaptureStderr();
    EXPECT_EQ(add_node("r10_nodeB", make_dev(35, 0, 1, 0, 6), NODE_RESPONDER),
              -1);
    EXPECT_EQ(GetCapturedStderr(), "qv_cspec: No more memory\n");
    EXPECT_EQ(node_list, nullptr);
  }
  set_cspec_allocator(nullptr);
}

}  // namespace
