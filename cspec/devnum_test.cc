#include "cspec/devnum.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
  unsigned bus, cntl, scsi_bus, target;
  const char* adapter;
  const char* target_text;
  const char* device;
};

TEST(DevnumTest, NamesLeaveOutLeadingZeroDigits) {
  const NameCase cases[] = {
      {0, 0, 0, 7, "0", "0t7", "0t7d0s0"},
      {0, 0, 2, 3, "2", "2t3", "2t3d0s0"},
      {0, 1, 0, 15, "10", "10t15", "10t15d0s0"},
      {1, 0, 0, 0, "100", "100t0", "100t0d0s0"},
      {3, 5, 1, 6, "351", "351t6", "351t6d0s0"},
      {7, 7, 3, 15, "773", "773t15", "773t15d0s0"},
      {2, 0, 3, 1, "203", "203t1", "203t1d0s0"},
  };
  for (const NameCase& c : cases) {
    // The major number never shows in a name.
    uint32_t dev = make_dev(1023, c.bus, c.cntl, c.scsi_bus, c.target);
    EXPECT_EQ(adapter_name(dev), c.adapter) << c.device;
    EXPECT_EQ(target_name(dev), c.target_text) << c.device;
    EXPECT_EQ(device_name(dev), c.device) << c.device;
  }
}

TEST(DevnumTest, DeviceNameShowsTheDAndSFields) {
  // An initiator number from the I/O service keeps its low bits as given.
  uint32_t dev = make_dev(35, 0, 1, 0, 7) | (31u << 8) | 15u;
  EXPECT_EQ(device_name(dev), "10t7d31s15");
  EXPECT_EQ(target_name(dev), "10t7");
}

TEST(DevnumTest, FieldsAreReplacedWithoutTouchingTheOthers) {
  uint32_t dev = make_dev(35, 3, 5, 1, 6) | (9u << 8) | 4u | (1u << 13);
  uint32_t moved = dev_with_target(dev, 0x1B);  // masked to 0Bh
  EXPECT_EQ(dev_target(moved), 0xBu);
  EXPECT_EQ(moved & ~(0xFu << 4), dev & ~(0xFu << 4));

  uint32_t remajored = dev_with_major(dev, 0x7FF);  // masked to 3FFh
  EXPECT_EQ(dev_major(remajored), 0x3FFu);
  EXPECT_EQ(remajored & 0x3FFFFF, dev & 0x3FFFFF);

  EXPECT_EQ(dev_bus(dev), 3u);
  EXPECT_EQ(dev_cntl(dev), 5u);
  EXPECT_EQ(dev_scsi_bus(dev), 1u);
  EXPECT_EQ(dev_major(dev), 35u);
}

}  // namespace
