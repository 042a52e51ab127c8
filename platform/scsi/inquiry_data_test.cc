#include "platform/scsi/inquiry_data.h"

#include <gtest/gtest.h>

#include <string>

namespace scsi {
namespace {

std::string Bytes(const Reply& r, size_t from, size_t n) {
  return std::string(reinterpret_cast<const char*>(r.bytes.data()) + from, n);
}

TEST(InquiryDataTest, StandardDataPadsIdentityAndCarriesArea) {
  Device disk;
  disk.kind = DeviceKind::kDisk;
  disk.vendor = "HP";
  disk.product = "C1533A";
  disk.revision = "95";
  Reply r = StandardInquiry(disk, MakeArea({0, 1, 0}, "x"));
  EXPECT_EQ(r.length, 36u);
  EXPECT_EQ(r.bytes[0], 0);
  EXPECT_EQ(r.bytes[4], 31);
  EXPECT_EQ(Bytes(r, 8, 28), "HP      C1533A          95  ");
  EXPECT_EQ(r.bytes[36], 0) << "a disk has no vendor-specific area";

  Device adapter;
  adapter.kind = DeviceKind::kAdapter;
  adapter.type = 3;
  VendorArea area = MakeArea({3, 5, 1}, "nodeB");
  area[2] = 0x5A;
  r = StandardInquiry(adapter, area);
  EXPECT_EQ(r.length, 56u);
  EXPECT_EQ(r.bytes[0], 3);
  EXPECT_EQ(r.bytes[4], 51);
  EXPECT_EQ(r.bytes[36], 0xFE);
  EXPECT_EQ(r.bytes[37], OwnerByte({3, 5, 1}));
  EXPECT_EQ(r.bytes[38], 0x5A);
  EXPECT_EQ(Bytes(r, 39, 6), std::string("nodeB\0", 6));
}

TEST(InquiryDataTest, SerialPagesPlaceSerialAtTheirOffsets) {
  Device disk;
  disk.serial = "SN0123456789";
  Reply r;
  ASSERT_TRUE(SerialPage(disk, 0x80, &r));
  EXPECT_EQ(r.bytes[1], 0x80);
  EXPECT_EQ(r.bytes[3], 12);
  EXPECT_EQ(r.length, 16u);
  EXPECT_EQ(Bytes(r, 4, 12), "SN0123456789");
  ASSERT_TRUE(SerialPage(disk, 0xE0, &r));
  EXPECT_EQ(r.bytes[1], 0xE0);
  EXPECT_EQ(r.bytes[3], 26);
  EXPECT_EQ(r.length, 30u);
  EXPECT_EQ(Bytes(r, 4, 14), std::string(14, '\0'));
  EXPECT_EQ(Bytes(r, 18, 12), "SN0123456789");
  Reply untouched;
  untouched.length = 7;
  EXPECT_FALSE(SerialPage(disk, 0x83, &untouched));
  EXPECT_EQ(untouched.length, 7u);
  // The longest serial the parser lets through still fits page E0h.
  disk.serial = std::string(237, 'x');
  ASSERT_TRUE(SerialPage(disk, 0xE0, &r));
  EXPECT_EQ(r.bytes[3], 251);
  EXPECT_EQ(r.length, 255u);
}

TEST(InquiryDataTest, DescribeAreaDecodesOwnerAndName) {
  EXPECT_EQ(DescribeArea(VendorArea{}), "uninitialized");
  EXPECT_EQ(DescribeArea(MakeArea({0, 1, 0}, "nodeA")), "c10:nodeA");
  EXPECT_EQ(DescribeArea(MakeArea({1, 0, 2}, "")), "c102:");
  // 17 bytes and no NUL: the name is all of the field.
  EXPECT_EQ(DescribeArea(MakeArea({0, 0, 0}, "abcdefghijklmnopq")),
            "c0:abcdefghijklmnopq");
  VendorArea odd = MakeArea({0, 0, 3}, "a\tb\\");
  EXPECT_EQ(DescribeArea(odd), "c3:a\\011b\\134");
  odd[0] = 0xFD;
  EXPECT_EQ(DescribeArea(odd), "uninitialized");
}

}  // namespace
}  // namespace scsi
