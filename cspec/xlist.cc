#include "cspec/xlist.h"

#include <stdlib.h>
#include <string.h>

#include <memory>

#include "cspec/alloc.h"
#include "cspec/state.h"
#include "platform/os/os.h"

char* xlist = nullptr;
size_t xlist_size = 0;
int xlist_count = 0;

namespace {

constexpr char kExcludeList[] = "/usr/ruded/config/excludelist";
constexpr size_t kInitialSize = 40;
constexpr int kPieceLength = 129;

// Length of the text in xlist, kept so that appending stays linear.
size_t g_xlist_length = 0;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};

void reset_xlist() {
  free(xlist);
  xlist = nullptr;
  xlist_size = 0;
  xlist_count = 0;
  g_xlist_length = 0;
}

// Cuts piece at its first newline and removes every space and tab.
// Returns the length of what is left.
size_t strip_piece(char* piece) {
  piece[strcspn(piece, "\n")] = '\0';
  size_t n = 0;
  for (const char* p = piece; *p != '\0'; ++p) {
    if (*p != ' ' && *p != '\t') piece[n++] = *p;
  }
  piece[n] = '\0';
  return n;
}

// Grows xlist by exactly what entry needs when it does not fit.  Returns
// false, with the old buffer kept, when the allocation fails.
bool make_room(size_t entry_length) {
  if (g_xlist_length + entry_length + 2 <= xlist_size) return true;
  size_t size = xlist_size + entry_length + 2;
  char* grown = static_cast<char*>(cspec_alloc(size));
  if (grown == nullptr) return false;
  memcpy(grown, xlist, g_xlist_length + 1);
  free(xlist);
  xlist = grown;
  xlist_size = size;
  return true;
}

void append_entry(const char* entry, size_t n) {
  memcpy(xlist + g_xlist_length, entry, n);
  g_xlist_length += n;
  xlist[g_xlist_length++] = kXlistSeparator;
  xlist[g_xlist_length] = '\0';
  ++xlist_count;
}

void read_entries(FILE* in) {
  char piece[kPieceLength + 1];
  while (fgets(piece, sizeof piece, in) != nullptr) {
    size_t n = strip_piece(piece);
    if (n == 0 || piece[0] == '#') continue;
    if (!make_room(n)) {
      debug("mkxlist: Malloc failed on reallocation\n");
      return;
    }
    append_entry(piece, n);
  }
}

}  // namespace

void build_xlist(FILE* in) {
  reset_xlist();
  debug("mkxlist: Building the exclusion list\n");
  xlist = static_cast<char*>(cspec_alloc(kInitialSize));
  if (xlist == nullptr) {
    debug("mkxlist: Malloc of initial space failed\n");
  } else {
    xlist[0] = kXlistSeparator;
    xlist[1] = '\0';
    xlist_size = kInitialSize;
    g_xlist_length = 1;
    read_entries(in);
  }
  debug("mkxlist: Finished\n");
  if (xlist_count == 0) reset_xlist();
}

void mkxlist() {
  reset_xlist();
  std::unique_ptr<FILE, FileCloser> in(
      fopen(platform::MapPath(kExcludeList).c_str(), "r"));
  if (in != nullptr) build_xlist(in.get());
}

bool xlist_contains(const char* key) {
  return xlist != nullptr && strstr(xlist, key) != nullptr;
}
