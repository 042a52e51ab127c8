#include "cspec/vendor_area.h"

#include <gtest/gtest.h>
#include <string.h>

#include "cspec/devnum.h"
#include "platform/scsi/io.h"

namespace {

TEST(VendorAreaTest, OwnerByteNamesTheAdapterThatSetIt) {
  const struct {
    unsigned bus, cntl, scsi_bus;
    unsigned char byte;
    const char* name;
  } cases[] = {
      {0, 0, 0, 0x00, "0"},   {0, 0, 2, 0x02, "2"},   {0, 1, 0, 0x04, "10"},
      {1, 0, 0, 0x20, "100"}, {3, 5, 1, 0x75, "351"}, {7, 7, 3, 0xFF, "773"},
  };
  for (const auto& c : cases) {
    // Target, d and s fields do not reach the owner byte.
    uint32_t dev = make_dev(35, c.bus, c.cntl, c.scsi_bus, 7) | 0x305;
    EXPECT_EQ(owner_byte(dev), c.byte) << c.name;
    EXPECT_EQ(adapter_name(owner_dev(c.byte)), c.name);
    EXPECT_EQ(owner_dev(c.byte) & 0xFFC03FFFu, 0u) << c.name;
  }
}

TEST(VendorAreaTest, StampKeepsByte38AndCutsTheNameTo17Bytes) {
  unsigned char inquiry[IO_PROCESSOR_INQUIRY_LENGTH];
  memset(inquiry, 0xAA, sizeof inquiry);
  EXPECT_FALSE(area_is_set(inquiry));

  stamp_area(inquiry, make_dev(35, 0, 1, 0, 7), "nodeA");
  EXPECT_TRUE(area_is_set(inquiry));
  EXPECT_EQ(inquiry[36], 0xFE);
  EXPECT_EQ(inquiry[37], 0x04);
  EXPECT_EQ(inquiry[38], 0xAA);
  EXPECT_EQ(memcmp(inquiry + 39, "nodeA\0\0\0\0\0\0\0\0\0\0\0\0", 17), 0);
  EXPECT_EQ(inquiry[35], 0xAA);  // nothing before the area is touched
  EXPECT_EQ(area_node_name(inquiry), "nodeA");
  EXPECT_EQ(area_owner_text(inquiry), "c10:nodeA");

  stamp_area(inquiry, make_dev(35, 1, 0, 0, 7),
             "a-very-long-node-name.example");
  EXPECT_EQ(memcmp(inquiry + 39, "a-very-long-node-", 17), 0);
  EXPECT_EQ(area_node_name(inquiry), "a-very-long-node-");
  EXPECT_EQ(area_owner_text(inquiry), "c100:a-very-long-node-");
}

}  // namespace
