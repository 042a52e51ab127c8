// OTinit: sets up this machine's object store and its System object.
//
//   OTinit [-S servers]
//
// Makes the store and, when there is no System object yet, creates it with
//   nodename      this machine's node name
//   name_servers  servers (default: this machine's node name)
//   do_echo       "cat", a method that returns its parameters
// An existing System object is kept; -S then sets its name_servers.  Run
// again, OTinit changes nothing.  Exit status 0, 1 on failure, 2 for usage.

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <string>

#include "platform/os/os.h"
#include "platform/ot/commands.h"
#include "platform/ot/ot.h"

namespace {

constexpr char kSystem[] = "System";

struct ListDestroyer {
  void operator()(KeywordList* list) const { DestroyKeywordList(list); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDestroyer>;

int Fail(const std::string& message) {
  fprintf(stderr, "OTinit: %s\n", message.c_str());
  return ot::kExitFailure;
}

bool SystemExists(bool* exists) {
  ManagedObject* object = OTLgetobj(kSystem);
  int status = OT_STATUS_OK;
  OTLastError(&status);
  OTFreeObject(object);
  *exists = object != nullptr;
  return object != nullptr || status == OT_STATUS_ABSENT;
}

int Initialise(const char* servers) {
  std::string node = platform::NodeName();
  if (node.empty()) return Fail("cannot read this machine's node name");
  bool exists = false;
  if (!SystemExists(&exists)) return Fail(OTLastError(nullptr));
  ListPtr pairs(CreateKeywordList());
  auto add = [&](const char* keyword, const char* value) {
    return AddKeywordToList(pairs.get(), keyword, value) == SSPI_OK;
  };
  bool ok = pairs != nullptr;
  if (ok && !exists) {
    ok = add("nodename", node.c_str()) &&
         add("name_servers", servers ? servers : node.c_str()) &&
         add("do_echo", "cat");
  } else if (ok && servers != nullptr) {
    ok = add("name_servers", servers);
  }
  if (!ok) return Fail("No more memory");
  if (OTLput(kSystem, pairs.get()) != 0) return Fail(OTLastError(nullptr));
  return ot::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  const char* servers = nullptr;
  opterr = 0;
  for (int opt; (opt = getopt(argc, argv, ":S:")) != -1;) {
    if (opt != 'S') {
      fprintf(stderr, "OTinit: bad option -%c\nusage: OTinit [-S servers]\n",
              optopt);
      return ot::kExitUsage;
    }
    servers = optarg;
  }
  if (optind < argc) {
    fprintf(stderr,
            "OTinit: unexpected operand %s\nusage: OTinit [-S servers]\n",
            argv[optind]);
    return ot::kExitUsage;
  }
  try {
    return Initialise(servers);
  } catch (const std::bad_alloc&) {
    return Fail("No more memory");
  }
}
