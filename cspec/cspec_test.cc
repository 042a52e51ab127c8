// The parts of qv_cspec whose inputs a run cannot shape at will: the
// exclusion list reader, the node table's rename targets and the mdevice
// record reader.  Exhausted storage in a whole run is robust_alloc_test's.

#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "cspec/alloc.h"
#include "cspec/devnum.h"
#include "cspec/mdevice.h"
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

// A stream reading text (fmemopen of an empty buffer needs one byte).
struct Text {
  explicit Text(const std::string& text) : copy(text + '\0') {
    in = fmemopen(copy.data(), text.size(), "r");
    EXPECT_NE(in, nullptr);
  }
  ~Text() { fclose(in); }
  std::string copy;
  FILE* in;
};

TEST(XlistTest, EntriesLoseBlanksCommentsAreSkippedAndMemoryRunsOut) {
  const std::string a200(200, 'a');
  const struct {
    std::string text;
    std::string list;
    int count;
    int allowed = -1;
    std::string said = "";  // between the first and last debug lines
  } cases[] = {
      {"", kNoList, 0},
      // Blank lines and comments, also after blanks, are skipped.
      {"# only comments\n\n  \n\t\n  # c10t3\n", kNoList, 0},
      // Blanks go, a later # stays; the last line needs no newline.
      {"c10 t3 # note\n\tc2\tt5 ", "|c10t3#note|c2t5|", 2},
      {a200 + "\n",
       "|" + std::string(129, 'a') + "|" + std::string(71, 'a') + "|", 2},
      // A NUL ends the text of its piece.
      {std::string("c0t3\0c0t5\n", 10), "|c0t3|", 1},
      {"c10t3\n", kNoList, 0, 0, "mkxlist: Malloc of initial space failed\n"},
      // Six entries of 5 fit in 40 bytes; the seventh needs the first
      // growth, which fails: the six stay and reading stops.
      {"c0t10\nc0t11\nc0t12\nc0t13\nc0t14\nc0t15\nc1t10\nc1t11\n",
       "|c0t10|c0t11|c0t12|c0t13|c0t14|c0t15|", 6, 1,
       "mkxlist: Malloc failed on reallocation\n"},
  };
  opt_debug = 1;
  set_cspec_allocator(failing_alloc);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 200));
    g_allocations_left = c.allowed;
    Text file(c.text);
    CaptureStderr();
    build_xlist(file.in);
    EXPECT_EQ(GetCapturedStderr(), "mkxlist: Building the exclusion list\n" +
                                       c.said + "mkxlist: Finished\n");
    // The list as text with 01h shown as '|'.
    std::string list = xlist != nullptr ? xlist : kNoList;
    std::replace(list.begin(), list.end(), kXlistSeparator, '|');
    EXPECT_EQ(list, c.list);
    EXPECT_EQ(xlist_count, c.count);
    EXPECT_TRUE(c.count > 0 || xlist_size == 0u);
  }
  opt_debug = 0;
  set_cspec_allocator(nullptr);
}

TEST(NodeListTest, OnlyTheFirstOtherNameBecomesTheRenameTarget) {
  const std::string dir = "/usr/ruded/subsys/scsi/resources/hostadp/cspecials";
  const std::string r10 = dir + "/r10", r10b = dir + "/r10_nodeB";
  const uint32_t dev = make_dev(35, 0, 1, 0, 7);
  // Out of storage for the entry, for the copy of its name, then (the entry
  // made) for the rename target's name: said, and nothing is linked.
  set_cspec_allocator(failing_alloc);
  for (int allowed : {0, 1, 2}) {
    g_allocations_left = allowed;
    if (allowed == 2) {
      ASSERT_EQ(add_node(r10.c_str(), dev + 1, NODE_CURRENT), 0);
    }
    CaptureStderr();
    EXPECT_EQ(add_node(r10b.c_str(), dev + 1, NODE_RESPONDER), -1) << allowed;
    EXPECT_EQ(GetCapturedStderr(), "qv_cspec: No more memory\n");
    EXPECT_EQ(node_list == nullptr, allowed < 2);
  }
  EXPECT_EQ(node_list->newname, nullptr);
  set_cspec_allocator(nullptr);
  ASSERT_EQ(add_node(r10.c_str(), dev, NODE_CURRENT), 0);
  EXPECT_EQ(add_node(r10b.c_str(), dev, NODE_RESPONDER), 1);
  // Any other name than the entry's own, even the stored newname, clashes.
  for (const std::string& again : {r10b, dir + "/c10"}) {
    CaptureStderr();
    EXPECT_EQ(add_node(again.c_str(), dev, NODE_INITIATOR), -1) << again;
    EXPECT_EQ(GetCapturedStderr(), "qv_cspec: Error: " + r10b + " and " +
                                       again + " are duplicate devices\n");
    EXPECT_EQ(node_list->flags, NODE_CURRENT | NODE_RESPONDER) << again;
    EXPECT_STREQ(node_list->newname, r10b.c_str());
  }
  // The entry's own name still merges.
  EXPECT_EQ(add_node(r10.c_str(), dev, NODE_INITIATOR), 1);
  EXPECT_EQ(node_list->flags, NODE_CURRENT | NODE_RESPONDER | NODE_INITIATOR);
}

TEST(MdeviceTest, RecordReader) {
  constexpr int kNone = -99;  // no SCSI record
  const std::string k100K(100 * 1024, 'x');
  const struct {
    const char* why;
    std::string text;
    int major;
  } cases[] = {
      {"sixth word of the first SCSI record, after records of six or more",
       "*header a b c d e\ndisk a b c d 9\nSCSI a b c 9 41 x\n"
       "SCSI a b c d 42 e\n",
       41},
      {"leading digits only", "SCSI a b c d 35-36 e\n", 35},
      {"blanks, tabs and newlines between words", "  SCSI\ta  b\n\tc d  41\n",
       41},
      {"no final newline", "SCSI a b c d 45", 45},
      {"SCSI only as the whole first word",
       "disk SCSI a b c 41 e\nSCSI2 a b c d 41\nscsi a b c d 42\n", kNone},
      {"record cut by the end", "SCSI a b c", kNone},
      {"long first word is cut, not SCSI",
       "SCSI" + std::string(40, 'x') + " a b c d 41\n", kNone},
      {"100 KB word in the record before",
       "junk " + k100K + " b c d e\nSCSI a b c d 41\n", 41},
  };
  for (const auto& c : cases) {
    Text file(c.text);
    int major = kNone;
    if (!read_scsi_major(file.in, &major)) major = kNone;
    EXPECT_EQ(major, c.major) << c.why;
  }
}

}  // namespace
