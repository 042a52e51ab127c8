// Net aliases on arbitrary text.  Beyond memory safety: a split joins back
// to the text it came from, and composing the parts gives the text again.

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "fuzz/ls_fuzz_root.h"
#include "ls/ls_internal.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = ls_fuzz::MakeRoot();
  // A C text ends at its first NUL.
  const char* chars = reinterpret_cast<const char*>(data);
  const std::string text(chars, strnlen(chars, size));
  CheckSplit(text);
  unlink((root + "/var/adm/oam.log").c_str());
  return 0;
}
