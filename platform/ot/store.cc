#include "platform/ot/store.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/os/os.h"
#include "platform/os/unique_fd.h"
#include "platform/ot/fs.h"

namespace ot {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;
struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Writes pairs into a new temporary file in the store directory and
// returns its mapped name in *temp.
bool WriteTemporary(const Pairs& pairs, std::string* temp, std::string* err) {
  std::string name = platform::MapPath(kStoreDir) + "/.put.XXXXXX";
  platform::UniqueFd fd(mkostemp(name.data(), O_CLOEXEC));
  if (!fd.valid()) {
    *err = SysError("mkstemp", std::string(kStoreDir) + "/.put.XXXXXX", errno);
    return false;
  }
  *temp = name;
  fchmod(fd.get(), 0644);
  FilePtr out(fdopen(fd.get(), "w"));
  if (!out) {
    *err = SysError("fdopen", kStoreDir, errno);
    return false;
  }
  fd.Release();
  errno = 0;
  bool ok = WritePairs(out.get(), pairs) && fflush(out.get()) == 0 &&
            fsync(fileno(out.get())) == 0;
  int error = errno;
  if (fclose(out.release()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) *err = SysError("write", kStoreDir, error ? error : EIO);
  return ok;
}

bool IsRegularEntry(DIR* dir, const dirent* entry) {
  if (entry->d_type == DT_REG) return true;
  if (entry->d_type != DT_UNKNOWN) return false;
  struct stat st;
  return fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(st.st_mode);
}

void Merge(const Pairs& updates, Pairs* pairs) {
  for (const Pair& u : updates) {
    auto same = [&](const Pair& p) { return p.keyword == u.keyword; };
    auto it = std::find_if(pairs->begin(), pairs->end(), same);
    if (it == pairs->end())
      pairs->push_back(u);
    else
      it->value = u.value;
  }
}

Status CheckUpdates(const Pairs& updates, std::string* err) {
  for (const Pair& u : updates) {
    if (!ValidPair(u, err)) return Status::kInvalid;
    if (u.keyword == kAliasKeyword) {
      *err = "alias names the object and cannot be put";
      return Status::kInvalid;
    }
  }
  return Status::kOk;
}

}  // namespace

bool ValidAlias(std::string_view alias, std::string* err) {
  std::string shown(alias);
  if (alias.empty() || alias.size() > kMaxAlias) {
    *err = "alias \"" + shown + "\" must hold 1 to 255 bytes";
    return false;
  }
  for (unsigned char c : alias) {
    if (c <= 32 || c >= 127 || c == '/') {
      *err = "alias \"" + shown + "\" holds a blank, control byte or /";
      return false;
    }
  }
  if (alias[0] == '.') {
    *err = "alias \"" + shown + "\" begins with .";
    return false;
  }
  return true;
}

std::string ObjectPath(std::string_view alias) {
  return std::string(kStoreDir) + "/" + std::string(alias);
}

Status LoadObject(std::string_view alias, Pairs* pairs, std::string* err) {
  if (!ValidAlias(alias, err)) return Status::kInvalid;
  std::string path = ObjectPath(alias);
  FilePtr in(fopen(platform::MapPath(path).c_str(), "re"));
  if (!in) {
    if (errno == ENOENT) {
      *err = "no object " + std::string(alias);
      return Status::kAbsent;
    }
    *err = SysError("open", path, errno);
    return Status::kFailed;
  }
  Pairs read;
  if (!ReadPairs(in.get(), path, &read, err)) return Status::kFailed;
  *pairs = std::move(read);
  return Status::kOk;
}

Status StoreObject(std::string_view alias, const Pairs& pairs,
                   std::string* err) {
  if (!ValidAlias(alias, err)) return Status::kInvalid;
  if (!MakeDirs(kStoreDir, err)) return Status::kFailed;
  std::string temp;
  bool ok = WriteTemporary(pairs, &temp, err);
  std::string path = ObjectPath(alias);
  if (ok && rename(temp.c_str(), platform::MapPath(path).c_str()) != 0) {
    *err = SysError("rename", path, errno);
    ok = false;
  }
  if (!ok && !temp.empty()) unlink(temp.c_str());
  return ok ? Status::kOk : Status::kFailed;
}

Status UpdateObject(std::string_view alias, const Pairs& updates,
                    std::string* err) {
  if (!ValidAlias(alias, err)) return Status::kInvalid;
  if (Status s = CheckUpdates(updates, err); s != Status::kOk) return s;
  if (updates.empty()) return Status::kOk;
  if (!MakeDirs(kStoreDir, err)) return Status::kFailed;
  platform::UniqueFd lock(::open(platform::MapPath(kStoreLock).c_str(),
                       O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!lock.valid()) {
    *err = SysError("open", kStoreLock, errno);
    return Status::kFailed;
  }
  while (flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      *err = SysError("flock", kStoreLock, errno);
      return Status::kFailed;
    }
  }
  Pairs pairs;
  Status s = LoadObject(alias, &pairs, err);
  if (s != Status::kOk && s != Status::kAbsent) return s;
  Merge(updates, &pairs);
  return StoreObject(alias, pairs, err);
}

Status ListAliases(std::vector<std::string>* aliases, std::string* err) {
  DirPtr dir(opendir(platform::MapPath(kStoreDir).c_str()));
  if (!dir) {
    if (errno == ENOENT) return Status::kOk;
    *err = SysError("opendir", kStoreDir, errno);
    return Status::kFailed;
  }
  std::string ignored;
  while (const dirent* e = readdir(dir.get())) {
    if (ValidAlias(e->d_name, &ignored) && IsRegularEntry(dir.get(), e))
      aliases->push_back(e->d_name);
  }
  std::sort(aliases->begin(), aliases->end());
  return Status::kOk;
}

}  // namespace ot
