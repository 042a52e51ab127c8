#include "cspec/xlist.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "cspec/alloc.h"
#include "cspec/state.h"

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

// The list as text with 01h shown as '|'.
std::string shown() {
  if (xlist == nullptr) return kNoList;
  std::string text = xlist;
  for (char& c : text) {
    if (c == kXlistSeparator) c = '|';
  }
  return text;
}

class XlistTest : public testing::Test {
 protected:
  void TearDown() override {
    opt_debug = 0;
    set_cspec_allocator(nullptr);
    build_from("");  // releases the list
  }
  // Reads text as the list file, with allowed allocations succeeding (all
  // when negative); returns what it said with -d.
  static std::string build_from(const std::string& text, int allowed = -1) {
    g_allocations_left = allowed;
    set_cspec_allocator(failing_alloc);
    std::string copy = text + '\0';
    FILE* in = fmemopen(copy.data(), text.size(), "r");
    EXPECT_NE(in, nullptr);
    CaptureStderr();
    build_xlist(in);
    fclose(in);
    return GetCapturedStderr();
  }
};

TEST_F(XlistTest, EntriesLoseBlanksCommentsAreSkippedAndMemoryRunsOut) {
  const std::string a200(200, 'a');
  const struct {
    std::string text;
    std::string list;
    int count;
    int allowed = -1;
    std::string said = "";  // between the first and last debug lines
  } cases[] = {
      {"", kNoList, 0},
      {"# only comments\n\n  \n\t\n#c10t3\n", kNoList, 0},
      {"c10t3\nc2t5\n", "|c10t3|c2t5|", 2},
      {"  # c10t3\n", kNoList, 0},
      {"c10t3 # note\n", "|c10t3#note|", 1},
      {"c10 t3\n\tc2\tt5 \n", "|c10t3|c2t5|", 2},
      {"c10t3", "|c10t3|", 1},
      {"C10T3\n", "|C10T3|", 1},
      {a200 + "\n",
       "|" + std::string(129, 'a') + "|" + std::string(71, 'a') + "|", 2},
      // The first piece ends after 129 characters: "c0" and "t3" are two
      // entries, neither of them c0t3.
      {std::string(127, ' ') + "c0t3\n", "|c0|t3|", 2},
      {std::string(100 * 1024, ' ') + "\n", kNoList, 0},
      // A NUL ends the text of its piece.
      {std::string("c0t3\0c0t5\n", 10), "|c0t3|", 1},
      {std::string("\0\0 \t\n\0", 6), kNoList, 0},
      {"c10t3\n", kNoList, 0, 0, "mkxlist: Malloc of initial space failed\n"},
      // Six entries of 5 fit in 40 bytes; the seventh needs the first
      // growth, which fails: the six stay and reading stops.
      {"c0t10\nc0t11\nc0t12\nc0t13\nc0t14\nc0t15\nc1t10\nc1t11\n",
       "|c0t10|c0t11|c0t12|c0t13|c0t14|c0t15|", 6, 1,
       "mkxlist: Malloc failed on reallocation\n"},
  };
  opt_debug = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 200));
    EXPECT_EQ(build_from(c.text, c.allowed),
              "mkxlist: Building the exclusion list\n" + c.said +
                  "mkxlist: Finished\n");
    EXPECT_EQ(shown(), c.list);
    EXPECT_EQ(xlist_count, c.count);
    EXPECT_TRUE(c.count > 0 || xlist_size == 0u);
  }
  // A 100 KB line is cut into pieces; the entry after it stands whole.
  build_from(std::string(100 * 1024, 'x') + "\nc0t3\n");
  EXPECT_EQ(xlist_count, 100 * 1024 / 129 + 2);
  EXPECT_EQ(shown().substr(shown().size() - 6), "|c0t3|");
}

}  // namespace
