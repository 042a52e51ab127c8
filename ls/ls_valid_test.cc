// The name-server registry: limits, names, format errors, the lock, and the
// System object when there is no registry.

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "ls/ls_internal.h"
#include "ls/ls_test_util.h"
#include "platform/ot/ot.h"

// A C library may reuse the storage of an environment entry that setenv
// replaces; glibc happens not to.  This setenv scribbles over the entry
// the test put in with putenv before replacing it, so that a pointer held
// across setenv shows.
static char g_entry[] = "OAM_DEVTAB=/opt/devtab";
static bool g_scribble = false;

extern "C" int setenv(const char* name, const char* value, int overwrite) noexcept {
  using Setenv = int (*)(const char*, const char*, int);
  static Setenv real = reinterpret_cast<Setenv>(dlsym(RTLD_NEXT, "setenv"));
  if (g_scribble && getenv("OAM_DEVTAB") == g_entry + 11) memset(g_entry + 11, 'X', 11);
  return real(name, value, overwrite);
}

namespace {

using ls_test::MachineRootTest;

class RegistryTest : public MachineRootTest {
 protected:
  // LSGetservers() as a string; "(null)" for NULL.
  std::string Servers() {
    char* text = LSGetservers();
    std::string result = text != nullptr ? text : "(null)";
    free(text);
    return result;
  }
};

struct RegistryCase {
  const char* name;
  std::string registry;
  std::string servers;           // "(null)" when none
  std::vector<std::string> log;  // every LOG and ERROR entry, in order
};

const std::string k30(30, 'n');
const std::string k31(31, 'm');

TEST_F(RegistryTest, ReadsRegistryFiles) {
  const RegistryCase cases[] = {
      {"one per line", "MaXnAmEsErVrS=3\nname_servers=nodeA\nname_servers=nodeB\n",
       "nodeA,nodeB", {}},
      {"comma pair", "MaXnAmEsErVrS=3\nname_servers=nodeA,nodeB\n", "nodeA,nodeB", {}},
      {"quoted and comments",
       "# servers\n#\nMaXnAmEsErVrS=\"2\"\nname_servers=\"nodeA\" name_servers=nodeB",
       "nodeA,nodeB", {}},
      {"limit reached",
       "MaXnAmEsErVrS=1\nname_servers=nodeA\nname_servers=nodeB\nname_servers=nodeC\n",
       "nodeA",
       {"LOG LS.LSValid 799 8: Nameserver limit 1 has been reached at "
        "name_servers=nodeB."}},
      {"limit tested between pairs only",
       "MaXnAmEsErVrS=2\nname_servers=a,b,c\nname_servers=d\n", "a,b,c,d", {}},
      {"maximum 0", "MaXnAmEsErVrS=0\nname_servers=nodeA\n", "(null)",
       {"LOG LS.LSValid 799 8: Nameserver limit 0 has been reached at "
        "name_servers=nodeA."}},
      {"maximum not a number", "MaXnAmEsErVrS=many\nname_servers=nodeA\n", "(null)",
       {"LOG LS.LSValid 799 8: Nameserver limit 0 has been reached at "
        "name_servers=nodeA."}},
      {"names of 30 and 31",
       "MaXnAmEsErVrS=5\nname_servers=" + k31 + "," + k30 + "\n", k30,
       {"LOG LS.LSValid 799 6: Server name " + k31 +
        " is invalid, length is > MAX=30"}},
      {"bad keyword", "MaXnAmEsErVrS=2\nserver=x\nname_servers=a\nname_servers=b\n",
       "a,b",
       {"LOG LS.LSValid 799 6: Server keyword server in entry server=x is "
        "invalid -- bad file format"}},
      {"no maximum pair", "name_servers=nodeA\nMaXnAmEsErVrS=3\n", "(null)",
       {"ERROR LSValid: Unable to find max servers in name server file, "
        "sspi_stat=0",
        "ERROR LSValid: server_key = ->name_servers<-"}},
      {"empty file", "", "(null)",
       {"ERROR LSValid: Unable to find max servers in name server file, "
        "sspi_stat=245"}},
      {"only the maximum", "MaXnAmEsErVrS=3\n", "(null)", {}},
      {"not a keyword stream", "MaXnAmEsErVrS=3\nname_servers=\"open\n", "(null)",
       {"LOG LS.LSValid 799 7: failed to convert file information to "
        "keywordlist, file /etc/KELDA_servers is not in sspi format"}},
  };
  for (const RegistryCase& c : cases) {
    ClearLog();
    WriteRegistry(c.registry);
    EXPECT_EQ(Servers(), c.servers) << c.name;
    std::vector<std::string> log = LogLines("LOG ");
    for (const std::string& e : LogLines("ERROR ")) log.push_back(e);
    EXPECT_EQ(log, c.log) << c.name;
  }
}

TEST_F(RegistryTest, LockedByWriterFailsAtOnceReadersShare) {
  WriteRegistry("MaXnAmEsErVrS=3\nname_servers=beta\n");
  for (short type : {F_WRLCK, F_RDLCK}) {
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Another process holds the lock until the parent has looked.
      int fd = open(Under("/etc/KELDA_servers").c_str(), O_RDWR);
      struct flock lock = {};
      lock.l_type = type;
      lock.l_whence = SEEK_SET;
      char c = fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
      if (write(ready[1], &c, 1) != 1) _exit(2);
      if (read(release[0], &c, 1) < 0) _exit(2);
      _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    ClearLog();
    TraceOn();
    const bool writer = type == F_WRLCK;
    EXPECT_EQ(Servers(), writer ? "(null)" : "beta");
    EXPECT_EQ(verify_node("beta"), writer ? 0 : 1);
    EXPECT_EQ(LogLines("TRACE 7 LSGetservers: failed to lock file").size(),
              writer ? 2u : 0u);
    unsetenv("OAM_TRACE");
    ASSERT_EQ(write(release[1], "x", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
  }
}

TEST_F(RegistryTest, WithoutRegistryAsksSystemObject) {
  ls_test::ListPtr pairs = ls_test::MakeList({{"name_servers", "beta,gamma"}});
  ASSERT_EQ(OTLput("System", pairs.get()), 0);
  // The caller's device table is put back, and an unset one stays unset.
  TraceOn();
  setenv("OAM_DEVTAB", "/opt/devtab", 1);
  EXPECT_EQ(Servers(), "beta,gamma");
  EXPECT_STREQ(getenv("OAM_DEVTAB"), "/opt/devtab");
  EXPECT_EQ(LogLines("TRACE 7 LSGetservers: OAM_DEVTAB=/etc/device.tab").size(), 1u);
  EXPECT_EQ(LogLines("TRACE 7 verify_node: OAM_DEVTAB=/opt/devtab").size(), 1u);
  unsetenv("OAM_DEVTAB");
  EXPECT_EQ(Servers(), "beta,gamma");
  EXPECT_EQ(getenv("OAM_DEVTAB"), nullptr);
  ClearLog();
  EXPECT_EQ(verify_node("gamma"), 1);
  EXPECT_EQ(LogLines("TRACE 7 verify_node: "),
            (std::vector<std::string>{
                "TRACE 7 verify_node: verify node ",
                "TRACE 7 verify_node: verify node gamma",
                "TRACE 7 verify_node: calling LSGetservers",
                "TRACE 7 verify_node: getenv not set",
                "TRACE 7 verify_node: status 1"}));
  EXPECT_EQ(verify_node("gam"), 0);
  // The device table a remote query was started with reaches its command,
  // although verifying the node set and restored the variable meanwhile.
  ASSERT_EQ(putenv(g_entry), 0);
  g_scribble = true;
  ClearLog();
  EXPECT_EQ(LSQueryattrs("beta:disk1"), nullptr);  // there is no RSClient
  EXPECT_NE(g_entry[11], '/');  // the entry was scribbled over
  EXPECT_EQ(LogLines("TRACE 7 LS.LSQueryattrs: LS.LSQueryattrs cmd: "
                     "\"OAM_DEVTAB=/opt/devtab export OAM_DEVTAB;")
                .size(),
            1u);
  unsetenv("OAM_DEVTAB");
}

TEST_F(RegistryTest, NoRegistryAndNoSystemObject) {
  TraceOn();
  EXPECT_EQ(Servers(), "(null)");
  EXPECT_EQ(LogLines("TRACE 7 LSGetservers: No servers configured.").size(), 1u);
  // A registry that cannot be opened for another reason is not replaced.
  ClearLog();
  ASSERT_EQ(symlink("KELDA_servers", Under("/etc/KELDA_servers").c_str()), 0);
  EXPECT_EQ(Servers(), "(null)");
  EXPECT_EQ(LogLines("TRACE 7 LSGetservers: No servers configured.").size(), 0u);
  EXPECT_EQ(LogLines("TRACE 7 LSGetservers: open returned errno 40").size(), 1u);
}

}  // namespace
