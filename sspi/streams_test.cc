// Streams: reading pairs and whole streams, writing lists as text.

#include <utility>
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
}

TEST_F(StreamTest, ReadWholeStream) {
  const std::pair<std::string, std::string> rows[] = {
      // The input; the list that comes back, or null, and sspi_errno.
      {"", "|245"},
      {"\n\n# comment\n   \n# last without newline", "|245"},
      {"a=\nb\nc=\"\"\nd=x,y # note\ne", "*a= b= c= d=x,y e=|245"},
      {"a=1\nb=\"open", "null|252"},
      {"a=1\n=2", "null|254"},
  };
  for (const auto& [input, result] : rows) {
    SCOPED_TRACE(input);
    ListPtr list(KeywordStreamToList(StreamOf(input).get()));
    std::string shown = list ? Show(list.get()) : "null";
    EXPECT_EQ(result, shown + "|" + std::to_string(sspi_errno));
  }
}

TEST_F(StreamTest, WriteOneQuotedLinePerPairAndReadItBack) {
  struct Row {
    const char* pairs;  // keywords and values the list holds
    std::string text;
    std::string cleaned;    // the list once written, if not pairs
    std::string read_back;  // what the text reads back as
  } rows[] = {
      {"", "", "", ""},
      {"a=1 b= c=x", "a=\"1\"\nb=\"\"\nc=\"x\"\n", "", "*a=1 b= c=x"},
      // Values are cleaned in the list itself, keywords are not; in quotes
      // the reader turns the carriage return into a blank.
      {"k\x7f=a\tb\x01\x7f\x80\xff\r\n~!", "k\x7f=\"a b    \r\n~!\"\n",
       "*k\x7f=a b    \r\n~!", "*k\x7f=a b     \n~!"},
      // Newlines read back, quotes do not: the value ends at the first
      // quote; the rest reads as a keyword, a quote inside a keyword keeps
      // the blank, and it ends without a value.
      {"n=line1\nline2 q=say\"hi\"\tnow", "n=\"line1\nline2\"\nq=\"say\"hi\" now\"\n",
       "*n=line1\nline2 q=say\"hi\" now", "*n=line1\nline2 q=say hi now="},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    ListPtr list = MakeList(r.pairs);
    char *k, *v;
    ReferenceNextKeywordInList(list.get(), &k, &v);
    FilePtr f(tmpfile());
    EXPECT_EQ(0, KeywordListToStream(f.get(), list.get()));
    EXPECT_EQ(0, sspi_errno);
    EXPECT_EQ(r.cleaned.empty() ? r.read_back : r.cleaned, Show(list.get()));
    rewind(f.get());
    EXPECT_EQ(r.text, Rest(f.get()));
    rewind(f.get());
    ListPtr back(KeywordStreamToList(f.get()));
    EXPECT_EQ(r.read_back, Show(back.get()));
  }
}

}  // namespace
}  // namespace sspi_test
