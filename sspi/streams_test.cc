// The pair reader: its grammar and limits, and where it leaves the stream.
// Whole streams and writing are steps in lists_test.cc.

#include <vector>

#include "sspi/sspi_test_util.h"

namespace sspi_test {
namespace {

using StreamTest = SspiTest;

// The pair reader's grammar and limits.  Each pair is read into buffers of
// exactly the documented sizes, so that a write past them shows under
// AddressSanitizer.
TEST_F(StreamTest, ReadOnePair) {
  const std::string nul("\0", 1), k31(31, 'k'), k32(32, 'k');
  const std::string v511(511, 'v'), v512(512, 'v');
  struct Row {
    std::string input;
    int code;
    std::string keyword, value;
    std::string rest;  // what the stream holds after the call
  } rows[] = {
      {"a=1\n", SSPI_OK, "a", "1", ""},
      {"a=\"x y\"\nb", SSPI_OK, "a", "x y", "\nb"},
      {"a=1 b=2", SSPI_OK, "a", "1", "b=2"},
      {" \n\t# note = \"x\n#\n\r key=v", SSPI_OK, "key", "v", ""},
      {"a#b=c#d", SSPI_OK, "a#b", "c#d", ""},
      {"a=b=c\n", SSPI_OK, "a", "c", ""},
      {"a=x\"y z\" w", SSPI_OK, "a", "xy z", " w"},
      {"a=\"\"x", SSPI_OK, "a", "", "x"},
      {"\"k w\"=v", SSPI_OK, "k w", "v", ""},
      {"a=\"x=y\"", SSPI_OK, "a", "x=y", ""},
      {"a=\"x\ny\"", SSPI_OK, "a", "x\ny", ""},
      {"a=\"x\t" + nul + "y\"", SSPI_OK, "a", "x  y", ""},
      {"a=\xff\xfe\x80\n", SSPI_OK, "a", "\xff\xfe\x80", ""},
      {"a = 1", SSPI_E_NO_VALUE, "a", "", "= 1"},
      {"a\nb=1", SSPI_E_NO_VALUE, "a", "", "b=1"},
      {"\"\" x", SSPI_E_NO_VALUE, "", "", "x"},
      {"a=\nb", SSPI_E_EMPTY_VALUE, "a", "", "b"},
      {"a= 1", SSPI_E_EMPTY_VALUE, "a", "", "1"},
      {"a=1=\n", SSPI_E_EMPTY_VALUE, "a", "", ""},
      {"= 1", SSPI_E_BAD_ARGUMENT, "", "", " 1"},
      {"\"\"\nx", SSPI_E_BAD_ARGUMENT, "", "", "x"},
      {"a=\"open", SSPI_E_OPEN_QUOTE, "a", "open", ""},
      {" \n\n\t#c\n  #d\n", SSPI_E_END, "", "", ""},
      // Limits: a keyword holds 31 bytes, a value 511.
      {k31 + "=v", SSPI_OK, k31, "v", ""},
      {k32 + "=v", SSPI_E_KEYWORD_TOO_LONG, k32, "", "=v"},
      {"\"" + k32 + "\"=v", SSPI_E_KEYWORD_TOO_LONG, k32, "", "\"=v"},
      {"\"" + k31 + " x", SSPI_E_VALUE_TOO_LONG, k31 + " ", "", "x"},
      {"\"" + k31 + "\nx", SSPI_E_OPEN_QUOTE, k31 + "\n", "", "x"},
      {"a=" + v511 + "\n", SSPI_OK, "a", v511, ""},
      {"a=" + v512 + "x", SSPI_E_VALUE_TOO_LONG, "a", v512, "x"},
      {"a=\"" + v512 + "\"", SSPI_E_OPEN_QUOTE, "a", v512, "\""},
      {"a=\"" + v511 + " \"", SSPI_E_VALUE_TOO_LONG, "a", v511 + " ", "\""},
      {"a=\"" + v511 + "\n\"", SSPI_E_OPEN_QUOTE, "a", v511 + "\n", "\""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("input: " + r.input.substr(0, 40));
    FilePtr f = StreamOf(r.input);
    std::vector<char> keyword(SSPI_KEYWORD_BUFFER, '?');
    std::vector<char> value(SSPI_VALUE_BUFFER, '?');
    EXPECT_EQ(r.code, GetKeyword(f.get(), keyword.data(), value.data()));
    EXPECT_EQ(r.code, sspi_errno);
    EXPECT_EQ(r.keyword, keyword.data());
    EXPECT_EQ(r.value, value.data());
    EXPECT_EQ(r.rest, Rest(f.get()));
  }
  char keyword[SSPI_KEYWORD_BUFFER];
  EXPECT_EQ(SSPI_E_BAD_ARGUMENT, GetKeyword(stdin, keyword, nullptr));
  EXPECT_EQ(SSPI_E_BAD_ARGUMENT, sspi_errno);
}

}  // namespace
}  // namespace sspi_test
