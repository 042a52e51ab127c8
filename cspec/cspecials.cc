#include "cspec/cspecials.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "cspec/alloc.h"
#include "cspec/devnum.h"
#include "cspec/node_list.h"
#include "cspec/state.h"
#include "platform/os/os.h"

namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

bool is_dot_entry(const char* name) {
  return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

void unlink_node(const char* path) { unlink(platform::MapPath(path).c_str()); }

// One directory entry.  Returns -1 only when the table is out of memory.
int scan_entry(const char* name) {
  std::string path = std::string(CSPECIALS_DIR) + "/" + name;
  struct stat st;
  if (_xstat(XSTAT_VER, path.c_str(), &st) != 0) {
    fprintf(stderr, "qv_cspec: Unable to access %s device\n", path.c_str());
    return 0;
  }
  int added =
      add_node(path.c_str(), static_cast<uint32_t>(st.st_rdev), NODE_CURRENT);
  if (added == 1) {
    fprintf(stderr, "qv_cspec: Warning: Removing duplicate device %s\n",
            path.c_str());
    unlink_node(path.c_str());
  }
  return added < 0 ? -1 : 0;
}

void remove_unasked(const node_entry* e) {
  if (e->flags & (NODE_INITIATOR | NODE_RESPONDER)) return;
  fprintf(stderr, "qv_cspec: Warning: Removing device %s\n", e->name);
  unlink_node(e->name);
}

void rename_wanted(const node_entry* e) {
  if (e->newname == nullptr) return;
  if (!(e->flags & NODE_CURRENT)) {
    fputs("qv_cspec: Warning: Attempt to rename a non existing device\n",
          stderr);
    return;
  }
  fprintf(stderr, "qv_cspec: Warning: Renaming %s to %s\n", e->name,
          e->newname);
  rename(platform::MapPath(e->name).c_str(),
         platform::MapPath(e->newname).c_str());
}

int make_node(const node_entry* e) {
  return _xmknod(XMKNOD_VER, e->name, kNodeMode, e->dev);
}

void create_missing(const node_entry* e) {
  if (e->flags & NODE_CURRENT) return;
  if ((opt_mode & OPT_INIT) && (e->flags & NODE_INITIATOR)) {
    debug("mk init nod(c%s)\n", device_name(e->dev).c_str());
    if (make_node(e) != 0) {
      debug_perror("mknod initiator");
      return;
    }
  }
  if ((opt_mode & OPT_RESP) && (e->flags & NODE_RESPONDER)) {
    debug("mk resp nod(r%s)\n", device_name(e->dev).c_str());
    if (make_node(e) != 0) debug_perror("mknod responder");
  }
}

// One pass over the whole table, newest entry first.  Storage exhausted
// while an entry is handled leaves that entry as it is; the pass goes on.
void each_entry(void (*handle)(const node_entry*)) {
  for (const node_entry* e = node_list; e != nullptr; e = e->next)
    skip_on_no_memory([&] { handle(e); });
}

}  // namespace

int locate_cspecials() {
  std::string dir = platform::MapPath(CSPECIALS_DIR);
  if (chdir(dir.c_str()) != 0) {
    mkdir(dir.c_str(), 0755);
    if (chdir(dir.c_str()) != 0) {
      fprintf(stderr, "qv_cspec: Unable to locate %s directory\n",
              CSPECIALS_DIR);
      return -1;
    }
  }
  if (chdir("..") != 0) {
    // Not examined: every later path but the temporary node's is absolute.
  }
  return 0;
}

int scan_cspecials() {
  std::unique_ptr<DIR, DirCloser> dir(
      opendir(platform::MapPath(CSPECIALS_DIR).c_str()));
  if (dir == nullptr && errno == ENOMEM) {
    // opendir's own buffer: the directory may be fine.
    no_memory();
    return -1;
  }
  if (dir == nullptr) {
    fprintf(stderr, "qv_cspec: Unable to access %s directory\n", CSPECIALS_DIR);
    return -1;
  }
  while (const dirent* entry = readdir(dir.get())) {
    if (is_dot_entry(entry->d_name)) continue;
    if (scan_entry(entry->d_name) != 0) return -1;
  }
  return 0;
}

void reconcile_nodes() {
  each_entry(remove_unasked);
  each_entry(rename_wanted);
  each_entry(create_missing);
}
