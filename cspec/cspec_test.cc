// The parts of qv_cspec whose inputs a run cannot shape at will: the
// exclusion list reader, the node table's rename targets and the mdevice
// record reader.  Exhausted storage in a whole run is robust_alloc_test's.

#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

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
    Text file(text);
    CaptureStderr();
    build_xlist(file.in);
    return GetCapturedStderr();
  }
  // The list as text with 01h shown as '|'.
  static std::string shown() {
    if (xlist == nullptr) return kNoList;
    std::string text = xlist;
    for (char& c : text) {
      if (c == kXlistSeparator) c = '|';
    }
    return text;
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
  const std::string long_word(40, 'x');
  const std::string k100K(100 * 1024, 'x');
  const struct {
    const char* why;
    std::string text;
    int major;
  } cases[] = {
      {"sixth word", "SCSI Iocrh icbo scsi 40 41 0 256 -1\n", 41},
      {"after other records",
       "*comment-less header a b c d\ndisk a b c 5 6 7\nSCSI a b c 9 41 x\n",
       41},
      {"leading digits only", "SCSI a b c d 35-36 e\n", 35},
      {"no digits", "SCSI a b c d major e\n", 0},
      {"first record wins", "SCSI a b c d 41 e\nSCSI a b c d 42 e\n", 41},
      {"exactly six words", "disk a b c d 9\nSCSI a b c d 41\n", 41},
      {"blanks and tabs", "  SCSI\ta  b\t\tc d   41 e\n", 41},
      {"record over two lines", "SCSI a b\nc d 41 e\n", 41},
      {"SCSI in another column", "disk SCSI a b c 41 e\n", kNone},
      {"other module names", "SCSI2 a b c d 41\nscsi a b c d 42\n", kNone},
      {"short line takes the next line's words", "disk a b\nSCSI c d e 4 5 6\n",
       kNone},
      {"record cut by the end", "SCSI a b c", kNone},
      {"empty", "", kNone},
      {"long first word is cut, not SCSI", "SCSI" + long_word + " a b c d 41\n",
       kNone},
      {"long other words",
       long_word + " " + long_word + " b c d 7\n" + "SCSI " + long_word +
           " b c d 43\n",
       43},
      {"100 KB word in the record before",
       "junk " + k100K + " b c d e\nSCSI a b c d 41\n", 41},
      {"100 KB sixth word", "SCSI a b c d 42" + k100K + "\n", 42},
      {"100 KB of blanks between words",
       "SCSI" + std::string(100 * 1024, ' ') + "a b c d 43\n", 43},
      {"NUL in another record",
       std::string("OTHER\0x a b c d 7\nSCSI a b c d 44\n", 34), 44},
      {"no final newline", "SCSI a b c d 45", 45},
      {"100 KB of NULs", std::string(100 * 1024, '\0'), kNone},
  };
  for (const auto& c : cases) {
    Text file(c.text);
    int major = kNone;
    if (!read_scsi_major(file.in, &major)) major = kNone;
    EXPECT_EQ(major, c.major) << c.why;
  }
}

}  // namespace
