// Words of command output read into a fixed buffer.

#include "ls/word_reader.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

using ls::WordResult;

// Every result of reading text with a buffer of size bytes, the words as
// read, "!" for a word that did not fit.
std::string ReadAll(const std::string& text, size_t size) {
  FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  std::string out;
  std::vector<char> buffer(size);
  WordResult r;
  while ((r = ls::ReadWord(f, buffer.data(), size)) != WordResult::kEnd &&
         r != WordResult::kError) {
    out += r == WordResult::kWord ? std::string(buffer.data()) : "!";
    out += "|";
  }
  fclose(f);
  return out;
}

TEST(WordReaderTest, ReadsWordsWithinTheBuffer) {
  const std::string w39(39, 'w');
  struct {
    std::string text;
    size_t size;
    std::string words;
  } cases[] = {
      {"", 40, ""},
      {" \n\t ", 40, ""},
      {"disk1 disk2\n", 40, "disk1|disk2|"},
      {"\n\n  a\tb\r\nc", 40, "a|b|c|"},
      {w39, 40, w39 + "|"},
      {w39 + "w next", 40, "!|next|"},
      {"abc", 3, "!|"},
      {"ab", 3, "ab|"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAll(c.text, c.size), c.words) << c.text;
}

}  // namespace
