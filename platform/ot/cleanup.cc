#include "platform/ot/cleanup.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <new>
#include <utility>
#include <vector>

#include "platform/os/os.h"
#include "platform/ot/ot.h"

namespace ot {
namespace {

struct Entry {
  std::string path;    // as given
  std::string mapped;  // what is unlinked
};

// Allocated once and never freed: the exit handler may run after static
// destructors, so the list must not be one.
std::vector<Entry>* g_entries = nullptr;
bool g_handler_installed = false;

void CleanupAtExit() { RunCleanup(); }

}  // namespace

bool AddCleanupPath(const std::string& path) {
  try {
    if (g_entries == nullptr) g_entries = new std::vector<Entry>;
    Entry entry{path, platform::MapPath(path)};
    if (!g_handler_installed) {
      if (atexit(CleanupAtExit) != 0) return false;
      g_handler_installed = true;
    }
    g_entries->push_back(std::move(entry));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool RemoveCleanupPath(std::string_view path) {
  if (g_entries == nullptr) return false;
  for (auto it = g_entries->begin(); it != g_entries->end(); ++it) {
    if (it->path == path) {
      g_entries->erase(it);
      return true;
    }
  }
  return false;
}

int RunCleanup() {
  if (g_entries == nullptr) return 0;
  int removed = 0;
  for (const Entry& e : *g_entries)
    if (unlink(e.mapped.c_str()) == 0) ++removed;
  g_entries->clear();
  return removed;
}

size_t CleanupCount() { return g_entries == nullptr ? 0 : g_entries->size(); }

}  // namespace ot

extern "C" int OTcleanup(const void* entry, int operation) {
  if (entry == nullptr) return -1;
  uint16_t kind;
  memcpy(&kind, entry, sizeof kind);  // the entry need not be aligned
  const char* path = static_cast<const char*>(entry) + sizeof kind;
  if (kind != 0 || *path == '\0') return -1;
  try {
    switch (operation) {
      case OT_CLEANUP_ADD:
        return ot::AddCleanupPath(path) ? 0 : -1;
      case OT_CLEANUP_REMOVE:
        return ot::RemoveCleanupPath(path) ? 0 : 1;
      default:
        return -1;
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
}
