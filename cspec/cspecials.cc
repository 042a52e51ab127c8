#include "cspec/cspecials.h"

#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

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

void remove_unasked() {
  for (const node_entry* e = node_list; e != nullptr; e = e->next) {
    if (e->flags & (NODE_INITIATOR | NODE_RESPONDER)) continue;
    fprintf(stderr, "qv_cspec: Warning: Removing device %s\n", e->name);
    unlink_node(e->name);
  }
}

void rename_wanted() {
  for (const node_entry* e = node_list; e != nullptr; e = e->next) {
    if (e->newname == nullptr) continue;
    if (!(e->flags & NODE_CURRENT)) {
      fputs("qv_cspec: Warning: Attempt to rename a non existing device\n",
            stderr);
      continue;
    }
    fprintf(stderr, "qv_cspec: Warning: Renaming %s to %s\n", e->name,
            e->newname);
    rename(platform::MapPath(e->name).c_str(),
           platform::MapPath(e->newname).c_str());
  }
}

int make_node(const node_entry* e) {
  return _xmknod(XMKNOD_VER, e->name, kNodeMode, e->dev);
}

void create_missing() {
  for (const node_entry* e = node_list; e != nullptr; e = e->next) {
    if (e->flags & NODE_CURRENT) continue;
    if ((opt_mode & OPT_INIT) && (e->flags & NODE_INITIATOR)) {
      debug("mk init nod(c%s)\n", device_name(e->dev).c_str());
      if (make_node(e) != 0) {
        debug_perror("mknod initiator");
        continue;
      }
    }
    if ((opt_mode & OPT_RESP) && (e->flags & NODE_RESPONDER)) {
      debug("mk resp nod(r%s)\n", device_name(e->dev).c_str());
      if (make_node(e) != 0) debug_perror("mknod responder");
    }
  }
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
  remove_unasked();
  rename_wanted();
  create_missing();
}
