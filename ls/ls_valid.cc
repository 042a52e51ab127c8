// The name-server registry: /etc/KELDA_servers, read under a shared lock,
// or the System object's name_servers when the file does not exist.

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "ls/ls_internal.h"
#include "ls/server_list.h"
#include "platform/os/os.h"
#include "platform/ot/ot.h"

namespace ls {

const char* DevTableLookup() {
  const char* value = getenv(kDevTabVariable);
  IOTrace(7, "verify_node", value != nullptr ? "getenv is set" : "getenv not set");
  return value;
}

std::string DevTablePath() {
  const char* value = DevTableLookup();
  return value != nullptr ? value : kDevTabDefault;
}

std::string DevTablePathQuiet() {
  const char* value = getenv(kDevTabVariable);
  return value != nullptr ? value : kDevTabDefault;
}

}  // namespace ls

namespace {

using ls::ServerList;

int SetLock(int fd, short type, const char* component, const char* format) {
  struct flock lock;
  memset(&lock, 0, sizeof lock);
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // the whole file, however long it grows
  int result = fcntl(fd, F_SETLK, &lock) == 0 ? 0 : -1;
  IOTrace(7, component, format, result, result == 0 ? 0 : errno);
  return result;
}

// Sets OAM_DEVTAB to value and traces what the environment then holds.
void PutDevTab(const char* component, const char* value) {
  setenv(ls::kDevTabVariable, value, 1);
  const char* now = getenv(ls::kDevTabVariable);
  if (now != nullptr)
    IOTrace(7, component, "OAM_DEVTAB=%s", now);
  else
    IOTrace(7, component, "reset failed");
}

// The registry file is absent: the System object names the servers.  The
// object tool is asked with the default device table, and the caller's
// choice is put back afterwards.
char* ServersFromSystemObject() {
  const char* current = ls::DevTableLookup();
  bool saved = current != nullptr;
  std::string saved_value = saved ? current : "";
  if (saved) {
    IOTrace(7, "LSGetservers", "saved current table setting, setting DEFAULT");
    PutDevTab("LSGetservers", ls::kDevTabDefault);
  }
  char* result = nullptr;
  AttributeRecord* record = OTgetattr("System", "name_servers");
  if (record == nullptr) {
    IOTrace(7, "LSGetservers", "No servers configured.\n");
  } else {
    result = strdup(record->value);
    if (result == nullptr) IOTrace(7, "LSGetservers", "malloc failed.\n");
    free(record);
  }
  if (saved) {
    IOTrace(7, "verify_node", "resetting OAM_DEVTAB to %s", saved_value.c_str());
    PutDevTab("verify_node", saved_value.c_str());
  }
  return result;
}

// The maximum pair must come first.  Returns false (reported) without it.
bool ReadMaximum(KeywordList* list, int* maximum) {
  char keyword[ls::kKeywordSize] = "";
  char value[ls::kTextSize] = "";
  int status = GetNextKeywordFmList(list, keyword, value);
  if (status != 0 || strcmp(keyword, "MaXnAmEsErVrS") != 0) {
    OTerror("LSValid",
            "Unable to find max servers in name server file, sspi_stat=%d\n",
            status);
    if (status == 0) OTerror("LSValid", "server_key = ->%s<-\n", keyword);
    return false;
  }
  // Text that is not a number counts as 0, as atoi would have it.
  long n = strtol(value, nullptr, 10);
  *maximum = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
  OTtrace(7, "LSGetservers", "MaxNameServers=%d", *maximum);
  return true;
}

// Adds the names of one name_servers pair.  False when storage ran out.
bool AddPairNames(const char* value, ServerList* servers) {
  IOTrace(7, "LSGetServers", "all servers %s\n", value);
  // The value is never NULL here, so no list means no storage; skipping
  // the pair would hand out a shorter server list as if it were whole.
  char** names = ParseCommaList(value);
  if (names == nullptr) return false;
  bool ok = true;
  for (char** name = names; ok && *name != nullptr; ++name) {
    IOTrace(7, "LSGetServers", "read server %s\n", *name);
    if (strlen(*name) > ls::kMaxServerName) {
      IOLog("LS.LSValid", 799, 6, "Server name %s is invalid, length is > MAX=%d",
            *name, ls::kMaxServerName);
      continue;
    }
    ok = servers->Add(*name);
  }
  DestroyCommaList(names);
  return ok;
}

// Walks the pairs after the maximum.  The limit is tested only between
// pairs: one pair is taken whole, however many names it holds.
bool ReadServers(KeywordList* list, int maximum, ServerList* servers) {
  char keyword[ls::kKeywordSize];
  char value[ls::kTextSize];
  int status;
  while ((status = GetNextKeywordFmList(list, keyword, value)) == 0) {
    if (servers->count() == maximum) {
      IOLog("LS.LSValid", 799, 8, "Nameserver limit %d has been reached at %s=%s.",
            maximum, keyword, value);
      break;
    }
    IOTrace(7, "LSGetServers", "GetNextKeywordFmList ret %d\n", status);
    if (strcmp(keyword, "name_servers") != 0) {
      IOLog("LS.LSValid", 799, 6,
            "Server keyword %s in entry %s=%s is invalid -- bad file format",
            keyword, keyword, value);
      continue;
    }
    if (!AddPairNames(value, servers)) return false;
  }
  return true;
}

// Reads the open, locked registry.  The result is malloc()ed, or NULL.
char* ReadRegistry(FILE* stream) {
  KeywordList* list = KeywordStreamToList(stream);
  if (list == nullptr) {
    IOLog("LS.LSValid", 799, 7,
          "failed to convert file information to keywordlist, file %s is not "
          "in sspi format",
          ls::kRegistryPath);
    return nullptr;
  }
  IOTrace(7, "LSGetServers", "KeywordStreamToList ok\n");
  ServerList servers;
  int maximum = 0;
  char* result = nullptr;
  if (ReadMaximum(list, &maximum) && ReadServers(list, maximum, &servers))
    result = servers.Release();
  DestroyKeywordList(list);
  return result;
}

char* GetServers() {
  const std::string path = platform::MapPath(ls::kRegistryPath);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return ServersFromSystemObject();
    IOTrace(7, "LSGetservers", "open returned errno %d\n", errno);
    return nullptr;
  }
  FILE* stream = fdopen(fd, "r");
  if (stream == nullptr) {
    IOTrace(7, "LSGetservers", "fdopen returned NULL\n");
    close(fd);
    return nullptr;
  }
  if (lock_KELDA(fd) != 0) {
    IOTrace(7, "LSGetservers", "failed to lock file\n");
    fclose(stream);
    return nullptr;
  }
  char* result = ReadRegistry(stream);
  if (unlock_KELDA(fd) != 0) {
    IOTrace(7, "LSGetservers", "unlock_KELDA failed\n");
    free(result);
    result = nullptr;
  }
  fclose(stream);  // closes fd as well
  return result;
}

}  // namespace

int lock_KELDA(int fd) {
  return SetLock(fd, F_RDLCK, "lock_KELDA", "lock_status %d %d\n");
}

int unlock_KELDA(int fd) {
  return SetLock(fd, F_UNLCK, "unlock_KELDA", "unlock_status %d %d\n");
}

char* LSGetservers() {
  try {
    return GetServers();
  } catch (...) {  // storage for a std::string ran out
    return nullptr;
  }
}
