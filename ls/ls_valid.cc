// The name-server registry, LSGetservers: the nodes that requests may be
// sent to.
//
// The registry is /etc/KELDA_servers, a keyword stream read afresh on
// every call under a shared whole-file record lock that is never waited
// for (a writer holding the file makes the read fail at once).  Its first
// pair must be MaXnAmEsErVrS=<maximum>; every further pair should be
// name_servers=<name>[,<name>...].  Names longer than 30 bytes and pairs
// of another keyword are logged and skipped; once as many names as the
// maximum were taken, the next pair is logged and the walk ends (a pair is
// taken whole, so one pair may carry the count past the maximum).  When
// the file does not exist, the System object's name_servers is the list,
// read with the default device table.
//
// Logs go under "LS.LSValid" (799: 6 bad pair or name, 7 not a keyword
// stream, 8 limit reached); OTerror reports under "LSValid"; traces at
// level 7.  The text handed out is built by ServerList.

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "ls/dev_table.h"
#include "ls/ls_internal.h"
#include "ls/server_list.h"
#include "platform/os/os.h"
#include "platform/ot/ot.h"

namespace {

using ls::ServerList;

constexpr char kLogComponent[] = "LS.LSValid";

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

// The System object's name_servers, taken whole and unchecked; NULL when
// there is none or no storage.
char* AskSystemObject() {
  AttributeRecord* record = OTgetattr("System", "name_servers");
  if (record == nullptr) {
    IOTrace(7, "LSGetservers", "No servers configured.\n");
    return nullptr;
  }
  char* result = strdup(record->value);
  if (result == nullptr) IOTrace(7, "LSGetservers", "malloc failed.\n");
  free(record);
  return result;
}

// The registry file is absent: the System object names the servers.  The
// object tool is asked with the default device table, and the caller's
// choice is put back afterwards.
char* ServersFromSystemObject() {
  ls::DefaultDevTable default_table;
  return AskSystemObject();
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

// Adds one name unless it is too long.  False when storage ran out.
bool AddName(const char* name, ServerList* servers) {
  IOTrace(7, "LSGetServers", "read server %s\n", name);
  if (strlen(name) <= ls::kMaxServerName) return servers->Add(name);
  IOLog(kLogComponent, 799, 6, "Server name %s is invalid, length is > MAX=%d",
        name, ls::kMaxServerName);
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
  for (char** name = names; ok && *name != nullptr; ++name)
    ok = AddName(*name, servers);
  DestroyCommaList(names);
  return ok;
}

// What one pair after the maximum does to the walk.
enum class PairOutcome { kTaken, kSkipped, kLimitReached, kNoStorage };

PairOutcome ReadServerPair(const char* keyword, const char* value,
                           int maximum, ServerList* servers) {
  if (servers->count() == maximum) {
    IOLog(kLogComponent, 799, 8, "Nameserver limit %d has been reached at %s=%s.",
          maximum, keyword, value);
    return PairOutcome::kLimitReached;
  }
  IOTrace(7, "LSGetServers", "GetNextKeywordFmList ret %d\n", 0);
  if (strcmp(keyword, "name_servers") != 0) {
    IOLog(kLogComponent, 799, 6,
          "Server keyword %s in entry %s=%s is invalid -- bad file format",
          keyword, keyword, value);
    return PairOutcome::kSkipped;
  }
  return AddPairNames(value, servers) ? PairOutcome::kTaken
                                      : PairOutcome::kNoStorage;
}

// Walks the pairs after the maximum.  False when storage ran out.
bool ReadServers(KeywordList* list, int maximum, ServerList* servers) {
  char keyword[ls::kKeywordSize];
  char value[ls::kTextSize];
  while (GetNextKeywordFmList(list, keyword, value) == 0) {
    switch (ReadServerPair(keyword, value, maximum, servers)) {
      case PairOutcome::kTaken:
      case PairOutcome::kSkipped:
        break;
      case PairOutcome::kLimitReached:
        return true;
      case PairOutcome::kNoStorage:
        return false;
    }
  }
  return true;
}

// Reads the open, locked registry.  The result is malloc()ed, or NULL.
char* ReadRegistry(FILE* stream) {
  KeywordList* list = KeywordStreamToList(stream);
  if (list == nullptr) {
    IOLog(kLogComponent, 799, 7,
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

// How the registry file opened.
enum class OpenOutcome { kOpened, kAbsent, kFailed };

// Opens the registry as a stream; *stream is set only for kOpened.
OpenOutcome OpenRegistry(FILE** stream) {
  const std::string path = platform::MapPath(ls::kRegistryPath);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return OpenOutcome::kAbsent;
    IOTrace(7, "LSGetservers", "open returned errno %d\n", errno);
    return OpenOutcome::kFailed;
  }
  *stream = fdopen(fd, "r");
  if (*stream == nullptr) {
    IOTrace(7, "LSGetservers", "fdopen returned NULL\n");
    close(fd);
    return OpenOutcome::kFailed;
  }
  return OpenOutcome::kOpened;
}

// Reads the open registry under its lock and closes it.
char* ReadLocked(FILE* stream) {
  const int fd = fileno(stream);
  char* result = nullptr;
  if (lock_KELDA(fd) != 0) {
    IOTrace(7, "LSGetservers", "failed to lock file\n");
  } else {
    result = ReadRegistry(stream);
    if (unlock_KELDA(fd) != 0) {
      IOTrace(7, "LSGetservers", "unlock_KELDA failed\n");
      free(result);
      result = nullptr;
    }
  }
  fclose(stream);  // closes fd as well
  return result;
}

char* GetServers() {
  FILE* stream = nullptr;
  switch (OpenRegistry(&stream)) {
    case OpenOutcome::kOpened:
      return ReadLocked(stream);
    case OpenOutcome::kAbsent:
      return ServersFromSystemObject();
    case OpenOutcome::kFailed:
      break;
  }
  return nullptr;
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
