// Net aliases and parameter values on arbitrary text.  Beyond memory
// safety: a split joins back to the text it came from, composing the parts
// gives the text again, and a value the check lets into a quoted parameter
// file reads back as one pair, its own, or (holding a double quote) as a
// pair the far side refuses.

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "fuzz/ls_fuzz_root.h"
#include "ls/ls_internal.h"
#include "ls/shell_line.h"

namespace {

std::string Value(KeywordList* list, const char* keyword) {
  char* k = nullptr;
  char* v = nullptr;
  int status = ReferenceKeywordInList(list, keyword, &k, &v);
  if (status != SSPI_OK && status != SSPI_E_NO_VALUE) abort();
  return v != nullptr ? v : "";
}

void CheckSplit(const std::string& text) {
  KeywordList* split = LSParseNetalias(text.c_str());
  const bool splits = text.size() <= 519 && text.find(':') != std::string::npos;
  if ((split != nullptr) != splits) abort();
  if (split == nullptr) return;
  const std::string node = Value(split, "nodename");
  const std::string alias = Value(split, "alias");
  if (node + ":" + alias != text) abort();
  KeywordList* joined = LSCreateNetalias(node.c_str(), alias.c_str());
  if (joined == nullptr || Value(joined, "netalias") != text) abort();
  DestroyKeywordList(joined);
  DestroyKeywordList(split);
  IsLocalAlias(text.c_str());
}

// A value may go into a parameter file when it holds no newline.  In a
// keyword="value" line it reads back as that one pair, white space inside
// the quotes turned into blanks as the reader does; a double quote in it
// ends the pair there, at a closing quote that does not end the line, the
// mark by which the far OTput and OTperform refuse such a file.
void CheckValue(const std::string& text) {
  const bool allowed = ls::ValueAllowed(text.c_str());
  if (allowed != (text.find('\n') == std::string::npos)) abort();
  if (!allowed || text.size() > 511) return;
  const std::string line = "k=\"" + text + "\"\n";
  FILE* stream = fmemopen(const_cast<char*>(line.data()), line.size(), "r");
  if (stream == nullptr) return;
  char keyword[40];
  char value[520];
  const size_t quote = text.find('"');
  std::string expected = text.substr(0, quote);
  for (char& c : expected)
    if (static_cast<unsigned char>(c) <= 32) c = ' ';
  if (GetKeyword(stream, keyword, value) != 0 || strcmp(keyword, "k") != 0 ||
      expected != value)
    abort();
  const long at = ftell(stream);
  if (quote == std::string::npos) {
    if (GetKeyword(stream, keyword, value) != SSPI_E_END) abort();
  } else if (at <= 0 || static_cast<size_t>(at) >= line.size() ||
             line[at - 1] != '"' || line[at] == '\n') {
    abort();
  }
  fclose(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = ls_fuzz::MakeRoot();
  // A C text ends at its first NUL.
  const char* chars = reinterpret_cast<const char*>(data);
  const std::string text(chars, strnlen(chars, size));
  CheckSplit(text);
  CheckValue(text);
  unlink((root + "/var/adm/oam.log").c_str());
  return 0;
}
