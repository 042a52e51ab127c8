#include "cspec/identify.h"

#include <gtest/gtest.h>

#include "cspec/serial.h"

namespace {

TEST(IdentifyTest, VendorTableMatchesPrefixesInOrder) {
  using Reader = int (*)(int, char*);
  const struct {
    const char* vendor;
    Reader reader;
    const char* debug_line;
  } cases[] = {
      {"MYLEX   ", nullptr, "Skipping device info for MYLEX device\n"},
      {"MYLEXCO ", nullptr, "Skipping device info for MYLEX device\n"},
      {"SYMBIOS ", get_serial_symbios, "Obtaining device info (SYMBIOS):\n"},
      {"SYMBIOSX", get_serial_symbios, "Obtaining device info (SYMBIOS):\n"},
      {"EMC     ", get_serial_emc, "Obtaining device info (EMC):\n"},
      {"EMC    X", get_serial_default, "Obtaining device info (default):\n"},
      {"EMC", get_serial_default, "Obtaining device info (default):\n"},
      {"HP      ", get_serial_hp, "Obtaining device info (HP):\n"},
      {"HPQ     ", get_serial_default, "Obtaining device info (default):\n"},
      {"HP", get_serial_default, "Obtaining device info (default):\n"},
      {"symbios ", get_serial_default, "Obtaining device info (default):\n"},
      {"SYMBIO  ", get_serial_default, "Obtaining device info (default):\n"},
      {"", get_serial_default, "Obtaining device info (default):\n"},
  };
  for (const auto& c : cases) {
    const VendorRow& row = match_vendor(c.vendor);
    EXPECT_EQ(row.reader, c.reader) << '<' << c.vendor << '>';
    EXPECT_STREQ(row.debug_line, c.debug_line) << '<' << c.vendor << '>';
  }
}

}  // namespace
