// Streams: reading pairs and whole streams, writing lists as text.

#include <vector>

#include "sspi/sspi_test_util.h"
#include "sspi/stream_test_util.h"

namespace sspi_test {
namespace {

// The pair reader's grammar and limits, and the whole-stream reader.

using ReaderTest = SspiTest;

struct ReadCase {
  std::string input;
  int code;
  std::string keyword;
  std::string value;
  std::string rest;  // what the stream holds after the call
};

// Reads one pair into buffers of exactly the documented sizes, so that a
// write past them shows under AddressSanitizer.
void CheckRead(const ReadCase& c) {
  FilePtr f = StreamOf(c.input);
  std::vector<char> keyword(SSPI_KEYWORD_BUFFER, '?');
  std::vector<char> value(SSPI_VALUE_BUFFER, '?');
  int rc = GetKeyword(f.get(), keyword.data(), value.data());
  std::string in = c.input.size() > 40 ? c.input.substr(0, 40) + "..." : c.input;
  EXPECT_CODE(c.code, rc) << "input: " << in;
  EXPECT_CODE(c.code, sspi_errno) << "input: " << in;
  EXPECT_EQ(c.keyword, keyword.data()) << "input: " << in;
  EXPECT_EQ(c.value, value.data()) << "input: " << in;
  EXPECT_EQ(c.rest, Rest(f.get())) << "input: " << in;
}

TEST_F(ReaderTest, GrammarOfOnePair) {
  const std::string nul("\0", 1);
  const ReadCase cases[] = {
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
      {"a=x" + nul + "y", SSPI_OK, "a", "x", "y"},
      {"a=\xff\xfe\x80\n", SSPI_OK, "a", "\xff\xfe\x80", ""},
      {"a = 1", SSPI_E_NO_VALUE, "a", "", "= 1"},
      {"a\nb=1", SSPI_E_NO_VALUE, "a", "", "b=1"},
      {"a", SSPI_E_NO_VALUE, "a", "", ""},
      {"\"\" x", SSPI_E_NO_VALUE, "", "", "x"},
      {"a=\nb", SSPI_E_EMPTY_VALUE, "a", "", "b"},
      {"a= 1", SSPI_E_EMPTY_VALUE, "a", "", "1"},
      {"a=", SSPI_E_EMPTY_VALUE, "a", "", ""},
      {"a=1=\n", SSPI_E_EMPTY_VALUE, "a", "", ""},
      {"= 1", SSPI_E_BAD_ARGUMENT, "", "", " 1"},
      {"\"\"\nx", SSPI_E_BAD_ARGUMENT, "", "", "x"},
      {"\"\"=v", SSPI_E_BAD_ARGUMENT, "", "", "v"},
      {"a=\"open", SSPI_E_OPEN_QUOTE, "a", "open", ""},
      {"a=\"open\n", SSPI_E_OPEN_QUOTE, "a", "open\n", ""},
      {"\"k", SSPI_E_OPEN_QUOTE, "k", "", ""},
      {"", SSPI_E_END, "", "", ""},
      {" \n\n\t", SSPI_E_END, "", "", ""},
      {"# only a comment", SSPI_E_END, "", "", ""},
      {"#c\n  #d\n", SSPI_E_END, "", "", ""},
  };
  for (const ReadCase& c : cases) CheckRead(c);
}

TEST_F(ReaderTest, LimitsAreExact) {
  const std::string k31(31, 'k'), k32(32, 'k');
  const std::string v511(511, 'v'), v512(512, 'v');
  const ReadCase cases[] = {
      {k31 + "=v", SSPI_OK, k31, "v", ""},
      {k31 + "\n", SSPI_E_NO_VALUE, k31, "", ""},
      {k32 + "=v", SSPI_E_KEYWORD_TOO_LONG, k32, "", "=v"},
      {"\"" + k32 + "\"=v", SSPI_E_KEYWORD_TOO_LONG, k32, "", "\"=v"},
      {"\"" + k31 + " x", SSPI_E_VALUE_TOO_LONG, k31 + " ", "", "x"},
      {"\"" + k31 + "\nx", SSPI_E_OPEN_QUOTE, k31 + "\n", "", "x"},
      {"a=" + v511 + "\n", SSPI_OK, "a", v511, ""},
      {"a=" + v511, SSPI_OK, "a", v511, ""},
      {"a=" + v512 + "x", SSPI_E_VALUE_TOO_LONG, "a", v512, "x"},
      {"a=\"" + v511 + "\"", SSPI_OK, "a", v511, ""},
      {"a=\"" + v512 + "\"", SSPI_E_OPEN_QUOTE, "a", v512, "\""},
      {"a=\"" + v511 + " \"", SSPI_E_VALUE_TOO_LONG, "a", v511 + " ", "\""},
      {"a=\"" + v511 + "\n\"", SSPI_E_OPEN_QUOTE, "a", v511 + "\n", "\""},
      {"a=" + v511 + "=" + v511, SSPI_OK, "a", v511, ""},
  };
  for (const ReadCase& c : cases) CheckRead(c);
}

TEST_F(ReaderTest, WholeStreamResults) {
  struct Case {
    std::string input;
    int code;     // sspi_errno afterwards
    bool list;    // whether a list comes back
    Pairs pairs;  // its contents
  } cases[] = {
      {"", SSPI_E_END, true, {}},
      {"\n\n# comment\n   \n# last without newline", SSPI_E_END, true, {}},
      {"a=\nb\nc=\"\"\nd=x,y # note\n", SSPI_E_END, true,
       {{"a", ""}, {"b", ""}, {"c", ""}, {"d", "x,y"}}},
      {"a=1\nb=\"open", SSPI_E_OPEN_QUOTE, false, {}},
      {"a=1\n" + std::string(32, 'k') + "=1", SSPI_E_KEYWORD_TOO_LONG, false, {}},
      {"a=1\n=2", SSPI_E_BAD_ARGUMENT, false, {}},
      {"a=" + std::string(512, 'v'), SSPI_E_VALUE_TOO_LONG, false, {}},
  };
  for (const Case& c : cases) {
    FilePtr f = StreamOf(c.input);
    ListPtr list(KeywordStreamToList(f.get()));
    EXPECT_CODE(c.code, sspi_errno) << c.input;
    ASSERT_EQ(c.list, list != nullptr) << c.input;
    if (list) {
      EXPECT_EQ(c.pairs, Contents(list.get())) << c.input;
    }
  }
  EXPECT_EQ(nullptr, KeywordStreamToList(nullptr));
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, sspi_errno);
  char k[SSPI_KEYWORD_BUFFER];
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, GetKeyword(stdin, k, nullptr));
}

// Writing lists as text, and what reads back.

class WriterTest : public SspiTest {
 protected:
  // What KeywordListToStream() writes for list.
  static std::string Written(KeywordList* list) {
    FilePtr f(tmpfile());
    EXPECT_CODE(SSPI_OK, KeywordListToStream(f.get(), list));
    rewind(f.get());
    return Rest(f.get());
  }
};

TEST_F(WriterTest, OneQuotedLinePerPair) {
  ListPtr list = MakeList({{"a", "1"}, {"b", "x y"}, {"e", ""}});
  char *k, *v;
  ReferenceNextKeywordInList(list.get(), &k, &v);
  EXPECT_EQ("a=\"1\"\nb=\"x y\"\ne=\"\"\n", Written(list.get()));
  EXPECT_EQ(list->kwd_val_chain, list->next_kwd_val);

  ListPtr empty(CreateKeywordList());
  EXPECT_EQ("", Written(empty.get()));
  EXPECT_CODE(SSPI_E_BAD_LIST, KeywordListToStream(stdout, nullptr));
  EXPECT_CODE(SSPI_E_BAD_ARGUMENT, KeywordListToStream(nullptr, list.get()));
}

TEST_F(WriterTest, CleansValuesInTheListItself) {
  ListPtr list = MakeList({{"k\t", std::string("a\tb\x01\x7f\x80\xff\r\n~ !")}});
  EXPECT_EQ("k\t=\"a b    \r\n~ !\"\n", Written(list.get()));
  EXPECT_EQ((Pairs{{"k\t", "a b    \r\n~ !"}}), Contents(list.get()));
}

TEST_F(WriterTest, NewlinesReadBackButQuotesDoNot) {
  ListPtr list = MakeList({{"n", "line1\nline2"}, {"q", "say \"hi\" now"}});
  FilePtr f = StreamOf(Written(list.get()));
  ListPtr back(KeywordStreamToList(f.get()));
  ASSERT_NE(nullptr, back);
  // The value ends at the first quote; the rest reads as a keyword (a
  // quote inside a keyword keeps the blank) that ends without a value.
  EXPECT_EQ((Pairs{{"n", "line1\nline2"}, {"q", "say "}, {"hi now", ""}}),
            Contents(back.get()));
}

}  // namespace
}  // namespace sspi_test
