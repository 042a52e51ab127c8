#include "platform/scsi/address.h"

#include <gtest/gtest.h>

namespace scsi {
namespace {

TEST(AddressTest, AdapterTextRoundTripsAndRefusesOtherForms) {
  struct Case {
    Port port;
    const char* text;
  } cases[] = {
      {{0, 0, 0}, "0"},     {{0, 0, 2}, "2"},     {{0, 1, 0}, "10"},
      {{1, 0, 0}, "100"},   {{3, 5, 1}, "351"},   {{7, 7, 3}, "773"},
      {{0, 7, 3}, "73"},    {{1, 0, 3}, "103"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AdapterText(c.port), c.text);
    Port back{9, 9, 9};
    ASSERT_TRUE(ParseAdapterText(c.text, &back)) << c.text;
    EXPECT_EQ(back, c.port) << c.text;
  }
  for (const char* bad : {"", "00", "01", "010", "004", "4", "14", "8000",
                          "800", "1000", "a", "1a", " 1", "-1"}) {
    Port p{9, 9, 9};
    EXPECT_FALSE(ParseAdapterText(bad, &p)) << bad;
    EXPECT_EQ(p.bus, 9) << bad;
  }
}

TEST(AddressTest, DeviceNumberFieldsSitWhereTheLayoutPutsThem) {
  DevFields f;
  f.s = 0xF;
  f.target = 0xA;
  f.d = 0x15;
  f.port = {5, 6, 2};
  f.major = 35;
  uint32_t dev = EncodeDev(f);
  EXPECT_EQ(dev, 0xFu | 0xAu << 4 | 0x15u << 8 | 2u << 14 | 6u << 16 |
                     5u << 19 | 35u << 22);
  DevFields back = DecodeDev(dev);
  EXPECT_EQ(back.s, 0xFu);
  EXPECT_EQ(back.target, 0xAu);
  EXPECT_EQ(back.d, 0x15u);
  EXPECT_EQ(back.port, (Port{5, 6, 2}));
  EXPECT_EQ(back.major, 35u);
  // Bit 13 belongs to no field.
  EXPECT_EQ(EncodeDev(DecodeDev(dev | 1u << 13)), dev);
}

TEST(AddressTest, OwnerByteKeepsPortInItsBits) {
  EXPECT_EQ(OwnerByte({0, 1, 0}), 0x04);
  EXPECT_EQ(OwnerByte({1, 0, 0}), 0x20);
  EXPECT_EQ(OwnerByte({7, 7, 3}), 0xFF);
  for (int b = 0; b < kMaxBus; ++b)
    for (int c = 0; c < kMaxController; ++c)
      for (int s = 0; s < kMaxScsiBus; ++s) {
        Port p{b, c, s};
        EXPECT_EQ(PortOfOwnerByte(OwnerByte(p)), p);
      }
}

}  // namespace
}  // namespace scsi
