#include "cspec/node_list.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cspec/alloc.h"
#include "cspec/devnum.h"

node_entry* node_list = nullptr;

namespace {

node_entry* find_node(uint32_t dev) {
  for (node_entry* e = node_list; e != nullptr; e = e->next) {
    if (e->dev == dev) return e;
  }
  return nullptr;
}

int new_node(const char* name, uint32_t dev, int flags) {
  node_entry* entry = static_cast<node_entry*>(cspec_alloc(sizeof *entry));
  char* copy = entry != nullptr ? cspec_strdup(name) : nullptr;
  if (copy == nullptr) {
    free(entry);
    no_memory();
    return -1;
  }
  *entry = node_entry{copy, nullptr, dev, flags, node_list};
  node_list = entry;
  return 0;
}

// A request for a device number that already has an entry: the first
// different name becomes the rename target; a second one is a conflict.
int merge_request(node_entry* entry, const char* name, int flags) {
  if (strcmp(entry->name, name) == 0) {
    entry->flags |= flags;
    return 1;
  }
  if (entry->newname != nullptr) {
    fprintf(stderr, "qv_cspec: Error: %s and %s are duplicate devices\n",
            entry->newname, name);
    return -1;
  }
  entry->newname = cspec_strdup(name);
  if (entry->newname == nullptr) {
    no_memory();
    return -1;
  }
  entry->flags |= flags;
  return 1;
}

}  // namespace

int add_node(const char* name, uint32_t dev, int flags) {
  node_entry* entry = find_node(dev);
  if (entry == nullptr) return new_node(name, dev, flags);
  if (flags == NODE_CURRENT) {
    entry->flags |= NODE_CURRENT;
    return 1;
  }
  return merge_request(entry, name, flags);
}

void dump_nodes() {
  if (node_list != nullptr) fputs("NODE DUMP:\n", stderr);
  for (const node_entry* e = node_list; e != nullptr; e = e->next) {
    fprintf(stderr, "NAME:  %s\n", e->name);
    fprintf(stderr, "FLAGS: %s%s%s\n", (e->flags & NODE_CURRENT) ? "c" : "",
            (e->flags & NODE_INITIATOR) ? "i" : "",
            (e->flags & NODE_RESPONDER) ? "r" : "");
    fprintf(stderr, "DEV:   %c%s\n", (e->flags & NODE_RESPONDER) ? 'r' : 'c',
            device_name(e->dev).c_str());
    fputs("\n", stderr);
  }
}
