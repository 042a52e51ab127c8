// Writing lists as text, and what reads back.

#include "sspi/sspi_test_util.h"
#include "sspi/stream_test_util.h"

namespace sspi_test {
namespace {

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
