// Net aliases, shell-line words and parameter values on arbitrary text.
// Beyond memory safety: a split joins back to the text it came from,
// composing the parts gives the text again, a word the composer lets
// through comes out of the line unchanged, and a value the check lets into
// a quoted parameter file reads back as one pair, its own.

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

void CheckWord(const std::string& text) {
  ls::ShellLine line;
  const bool ok = ls::Compose("LS.Fuzz", "x %s y",
                              {{"alias", text.c_str(), ls::WordRule::kWord}}, &line);
  const bool fits = text.size() + 4 < ls::kLineSize;
  if (ok != (ls::WordAllowed(text.c_str(), ls::WordRule::kWord) && fits)) abort();
  if (ok && std::string(line.c_str()) != "x " + text + " y") abort();
}

// A value allowed in keyword="value" lines reads back as that one pair,
// white space inside the quotes turned into blanks as the reader does.
void CheckValue(const std::string& text) {
  const bool quoted = ls::ValueAllowed(text.c_str(), ls::ValueRule::kQuoted);
  const bool bare = ls::ValueAllowed(text.c_str(), ls::ValueRule::kBare);
  if (bare != (text.find('\n') == std::string::npos)) abort();
  if (quoted != (bare && text.find('"') == std::string::npos)) abort();
  if (!quoted || text.size() > 511) return;
  const std::string line = "k=\"" + text + "\"\n";
  FILE* stream = fmemopen(const_cast<char*>(line.data()), line.size(), "r");
  if (stream == nullptr) return;
  char keyword[40];
  char value[520];
  std::string expected = text;
  for (char& c : expected)
    if (static_cast<unsigned char>(c) <= 32) c = ' ';
  if (GetKeyword(stream, keyword, value) != 0 || strcmp(keyword, "k") != 0 ||
      expected != value || GetKeyword(stream, keyword, value) != SSPI_E_END)
    abort();
  fclose(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = ls_fuzz::MakeRoot();
  // A C text ends at its first NUL.
  const char* chars = reinterpret_cast<const char*>(data);
  const std::string text(chars, strnlen(chars, size));
  CheckSplit(text);
  CheckWord(text);
  CheckValue(text);
  unlink((root + "/var/adm/oam.log").c_str());
  return 0;
}
