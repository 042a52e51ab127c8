#include "cspec/node_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "cspec/alloc.h"
#include "cspec/devnum.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

constexpr char kC10[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/cspecials/c10";
constexpr char kR10[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/cspecials/r10";
constexpr char kR10B[] =
    "/usr/ruded/subsys/scsi/resources/hostadp/cspecials/r10_nodeB";

int g_allocations_left = 0;

void* failing_alloc(size_t size) {
  if (g_allocations_left == 0) return nullptr;
  --g_allocations_left;
  return malloc(size);
}

class NodeListTest : public testing::Test {
 protected:
  void TearDown() override {
    set_cspec_allocator(nullptr);
    // The command never frees the table; the tests do, between cases.
    while (node_list != nullptr) {
      node_entry* next = node_list->next;
      free(node_list->name);
      free(node_list->newname);
      free(node_list);
      node_list = next;
    }
  }

  const uint32_t dev_ = make_dev(35, 0, 1, 0, 7);
};

TEST_F(NodeListTest, OnlyTheFirstOtherNameBecomesTheRenameTarget) {
  ASSERT_EQ(add_node(kR10, dev_, NODE_CURRENT), 0);
  EXPECT_EQ(add_node(kR10B, dev_, NODE_RESPONDER), 1);
  ASSERT_NE(node_list->newname, nullptr);
  EXPECT_STREQ(node_list->newname, kR10B);
  EXPECT_EQ(node_list->flags, NODE_CURRENT | NODE_RESPONDER);

  // Any other name than the entry's own, even the stored newname, clashes.
  for (const char* again : {kR10B, kC10}) {
    CaptureStderr();
    EXPECT_EQ(add_node(again, dev_, NODE_INITIATOR), -1) << again;
    EXPECT_EQ(GetCapturedStderr(), std::string("qv_cspec: Error: ") + kR10B +
                                       " and " + again +
                                       " are duplicate devices\n");
    EXPECT_EQ(node_list->flags, NODE_CURRENT | NODE_RESPONDER) << again;
    EXPECT_STREQ(node_list->newname, kR10B);
  }
  // The entry's own name still merges.
  EXPECT_EQ(add_node(kR10, dev_, NODE_INITIATOR), 1);
  EXPECT_EQ(node_list->flags, NODE_CURRENT | NODE_RESPONDER | NODE_INITIATOR);
}

TEST_F(NodeListTest, ExhaustedMemoryIsReportedAndLinksNothing) {
  set_cspec_allocator(failing_alloc);
  for (int allowed : {0, 1}) {  // the entry, then the copy of its name
    g_allocations_left = allowed;
    CaptureStderr();
    EXPECT_EQ(add_node(kC10, dev_, NODE_CURRENT), -1) << allowed;
    EXPECT_EQ(GetCapturedStderr(), "qv_cspec: No more memory\n");
    EXPECT_EQ(node_list, nullptr) << allowed;
  }
  g_allocations_left = 2;
  ASSERT_EQ(add_node(kR10, dev_, NODE_CURRENT), 0);
  CaptureStderr();
  EXPECT_EQ(add_node(kR10B, dev_, NODE_RESPONDER), -1);
  EXPECT_EQ(GetCapturedStderr(), "qv_cspec: No more memory\n");
  EXPECT_EQ(node_list->newname, nullptr);
}

}  // namespace
