// libls's readers of outside text on arbitrary input, each input taken as
// a name-server registry and as a net alias.  Beyond memory safety: every
// server name handed out is non-empty and at most 30 characters long; a
// split joins back to the text it came from (composing a net alias has its
// limits in the unit test).  The machine root is a scratch directory, so that what
// the library logs never reaches the real /var/adm.

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ls/ls_internal.h"

namespace {

std::filesystem::path g_dir;

// Makes the machine root <tmp>/ls_fuzz.XXXXXX with etc/nodename "alpha" and
// var/adm/ (gone at the exit), sets RUDED_ROOT to it and returns it.
std::string MakeRoot() {
  const char* base = getenv("TMPDIR");
  std::string root = std::string(base && *base ? base : "/tmp") + "/ls_fuzz.XXXXXX";
  if (mkdtemp(root.data()) == nullptr) abort();
  g_dir = root;
  atexit([] { std::filesystem::remove_all(g_dir); });
  std::filesystem::create_directories(g_dir / "etc");
  std::filesystem::create_directories(g_dir / "var/adm");
  std::ofstream(g_dir / "etc/nodename") << "alpha\n";
  setenv("RUDED_ROOT", root.c_str(), 1);
  unsetenv("OAM_TRACE");
  return root;
}

void CheckRegistry(const std::string& root, const uint8_t* data, size_t size) {
  std::ofstream(root + "/etc/KELDA_servers", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  char* servers = LSGetservers();
  if (servers == nullptr) return;
  const std::string text = servers;
  for (size_t start = 0, comma; start <= text.size(); start = comma + 1) {
    comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    if (comma == start || comma - start > 30) abort();
  }
  free(servers);
}

std::string Value(KeywordList* list, const char* keyword) {
  char* k = nullptr;
  char* v = nullptr;
  const int status = ReferenceKeywordInList(list, keyword, &k, &v);
  if (status != SSPI_OK && status != SSPI_E_NO_VALUE) abort();
  return v != nullptr ? v : "";
}

void CheckSplit(const std::string& text) {
  KeywordList* split = LSParseNetalias(text.c_str());
  if ((split != nullptr) != (text.size() <= 519 && text.find(':') != std::string::npos)) abort();
  if (split == nullptr) return;
  const std::string node = Value(split, "nodename");
  const std::string alias = Value(split, "alias");
  if (node + ":" + alias != text) abort();
  DestroyKeywordList(split);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = MakeRoot();
  CheckRegistry(root, data, size);
  // A C text ends at its first NUL.
  const char* chars = reinterpret_cast<const char*>(data);
  const std::string text(chars, strnlen(chars, size));
  CheckSplit(text);
  unlink((root + "/var/adm/oam.log").c_str());
  return 0;
}
