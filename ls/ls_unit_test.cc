// libls's modules in process, on a private machine root whose node name is
// "alpha": temporary files, net aliases and locality, the name-server
// registry, and the one place that composes and runs shell lines (that
// every operation's words go through its check, and every operation's
// failure under exhausted storage, are tested end to end through ls_call).

#include <ctype.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ls/ls_internal.h"
#include "ls/ls_misc.h"
#include "ls/shell_line.h"
#include "platform/ot/ot.h"
#include "tests/e2e_util.h"

namespace {

using Lines = std::vector<std::string>;
using ls::WordRule;

std::string Text(KeywordList* list) {  // "k=v;" pairs; releases the list
  if (list == nullptr) return "NULL";
  std::string text;
  for (KeywordValueBlock* b = list->kwd_val_chain; b != nullptr; b = b->next_block)
    text += std::string(b->keyword_address) + "=" + b->value_address + ";";
  DestroyKeywordList(list);
  return text;
}

std::string Text(char* text) {  // malloc()ed by the call
  std::string copy = text != nullptr ? text : "NULL";
  free(text);
  return copy;
}

class LsUnitTest : public ::testing::Test {
 protected:
  void SetUp() override { e2e::WriteFile(Under("/etc/nodename"), "alpha\n"); }
  // No operation may leave a file of its own in the machine's tmp/.
  void TearDown() override { EXPECT_EQ(e2e::ListDir(Under("/tmp")), Lines{}); }

  std::string Under(const std::string& path) const { return machine_.Under(path); }
  void Registry(const std::string& text) { e2e::WriteFile(Under("/etc/KELDA_servers"), text); }
  Lines Log(const std::string& prefix) const { return machine_.LogLines(prefix); }
  void ClearLog() { unlink(Under("/var/adm/oam.log").c_str()); }

  e2e::ScopedMachineRoot machine_;
};

// Temporary files: made with mkstemp under the machine root, and unlinked
// (that they are listed for cleanup and withdrawn, the allocation sweep
// shows).  Mapped names of 1023 bytes fit their 1024-byte buffer; 1024 do
// not.
TEST_F(LsUnitTest, TempFiles) {
  ls::TempFile file;
  ASSERT_TRUE(file.Make("/tmp/ZU_queryXXXXXX"));
  EXPECT_EQ(std::string(file.mapped()), Under(file.name()));
  file.Remove();
  EXPECT_FALSE(e2e::Exists(file.mapped()));
  std::string dir = "/deep";
  while (Under(dir).size() < 1023 - 40) dir += "/" + std::string(30, 'd');
  e2e::WriteFile(Under(dir) + "/.keep", "");
  const size_t room = 1023 - Under(dir).size() - 1 - 6;
  ASSERT_TRUE(file.Make((dir + "/" + std::string(room, 'f') + "XXXXXX").c_str()));
  EXPECT_EQ(strlen(file.mapped()), 1023u);
  file.Remove();
  EXPECT_FALSE(file.Make((dir + "/" + std::string(room + 1, 'f') + "XXXXXX").c_str()));
  EXPECT_FALSE(file.Make("/nodir/ZU_queryXXXXXX"));
}

// What the operations end to end do not show: the split at the first
// colon, locality by the exact node name, and composing within the buffer.
TEST_F(LsUnitTest, NetAliasesAndLocality) {
  const struct {
    std::string text;
    std::string split;  // LSParseNetalias
    int local;          // IsLocalAlias
  } aliases[] = {
      {"alpha:", "nodename=alpha;alias=;", 1},
      {"alpha:a:b", "nodename=alpha;alias=a:b;", 1},
      {":disk1", "nodename=;alias=disk1;", 0},
      {"", "NULL", 1},
      {"alph:d", "nodename=alph;alias=d;", 0},
      // Too long to be a net alias, it names no object; without a colon it
      // names no other node, whatever its length.
      {"alpha:" + std::string(514, 'a'), "NULL", 0},
      {std::string(600, 'a'), "NULL", 1},
  };
  for (const auto& c : aliases) {
    EXPECT_EQ(Text(LSParseNetalias(c.text.c_str())), c.split) << c.text;
    EXPECT_EQ(IsLocalAlias(c.text.c_str()), c.local) << c.text;
  }
  EXPECT_EQ(LSParseNetalias(nullptr), nullptr);
  EXPECT_EQ(IsLocalAlias(nullptr), 1);
  const std::string node(200, 'n');
  EXPECT_EQ(Text(LSCreateNetalias(node.c_str(), std::string(318, 'a').c_str())).size(),
            strlen("netalias=;") + 519);
  EXPECT_EQ(LSCreateNetalias(node.c_str(), std::string(319, 'a').c_str()), nullptr);
  EXPECT_EQ(LSCreateNetalias(nullptr, "disk1"), nullptr);
  EXPECT_EQ(IsLocalSearch(nullptr), 1);
  // An empty Containment cannot be looked up: reported, and taken as local.
  KeywordList* empty = CreateKeywordList();
  AddKeywordToList(empty, "Containment", "");
  EXPECT_EQ(IsLocalSearch(empty), 1);
  EXPECT_EQ(Log("ERROR "), Lines{"ERROR LSParse: Error in ReferenceKeywordInList"});
  DestroyKeywordList(empty);
}

// The registry's limits, names and format errors, and hostile files: 100
// KB lines, NUL bytes, no final newline.
TEST_F(LsUnitTest, RegistryFiles) {
  const std::string k30(30, 'n'), k31(31, 'm'), k100K(100 * 1024, 'x');
  const std::string not_sspi =
      "LOG LS.LSValid 799 7: failed to convert file information to keywordlist, file "
      "/etc/KELDA_servers is not in sspi format";
  const struct {
    std::string registry;
    std::string servers;  // "NULL" when none
    Lines log;            // every LOG and ERROR entry, in order
  } rows[] = {
      {"MaXnAmEsErVrS=3\nname_servers=nodeA\nname_servers=nodeB\n", "nodeA,nodeB", {}},
      {"MaXnAmEsErVrS=1\nname_servers=nodeA\nname_servers=nodeB\nname_servers=nodeC\n", "nodeA",
       {"LOG LS.LSValid 799 8: Nameserver limit 1 has been reached at name_servers=nodeB."}},
      // The limit is tested between pairs only.
      {"MaXnAmEsErVrS=2\nname_servers=a,b,c\nname_servers=d\n", "a,b,c,d", {}},
      {"MaXnAmEsErVrS=5\nname_servers=" + k31 + "," + k30 + "\n", k30,
       {"LOG LS.LSValid 799 6: Server name " + k31 + " is invalid, length is > MAX=30"}},
      {"MaXnAmEsErVrS=2\nserver=x\nname_servers=a\nname_servers=b\n", "a,b",
       {"LOG LS.LSValid 799 6: Server keyword server in entry server=x is invalid -- bad file "
        "format"}},
      {"name_servers=nodeA\nMaXnAmEsErVrS=3\n", "NULL",
       {"ERROR LSValid: Unable to find max servers in name server file, sspi_stat=0",
        "ERROR LSValid: server_key = ->name_servers<-"}},
      {"", "NULL",
       {"ERROR LSValid: Unable to find max servers in name server file, sspi_stat=245"}},
      {"MaXnAmEsErVrS=3\n", "NULL", {}},
      {"MaXnAmEsErVrS=4\nname_servers=" + k100K + "\n", "NULL", {not_sspi}},
      // A NUL is white space: the value ends at it, and "ta" is a keyword
      // of its own.
      {std::string("MaXnAmEsErVrS=4\nname_servers=be\0ta\n", 35), "be",
       {"LOG LS.LSValid 799 6: Server keyword ta in entry ta= is invalid -- bad file format"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.registry.substr(0, 60));
    ClearLog();
    Registry(row.registry);
    EXPECT_EQ(Text(LSGetservers()), row.servers);
    EXPECT_EQ(Log(""), row.log);  // every entry, in order
  }
}

// A writer holding the registry makes the read fail at once; readers
// share it.  (An open file description's lock conflicts with the
// library's own in this process too.)
TEST_F(LsUnitTest, RegistryLockedByWriterFailsAtOnceReadersShare) {
  Registry("MaXnAmEsErVrS=3\nname_servers=beta\n");
  const int fd = open(Under("/etc/KELDA_servers").c_str(), O_RDWR);
  for (short type : {F_WRLCK, F_RDLCK}) {
    struct flock lock = {};
    lock.l_type = type;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &lock), 0);
    EXPECT_EQ(Text(LSGetservers()), type == F_WRLCK ? "NULL" : "beta");
  }
  close(fd);
}

// Without a registry the System object names the servers, read with the
// default device table (there is none at /opt/devtab); the caller's table
// is put back, and an unset one stays unset.
TEST_F(LsUnitTest, WithoutRegistryAsksSystemObject) {
  EXPECT_EQ(Text(LSGetservers()), "NULL");
  KeywordList* pairs = CreateKeywordList();
  AddKeywordToList(pairs, "name_servers", "beta,gamma");
  ASSERT_EQ(OTLput("System", pairs), 0);
  DestroyKeywordList(pairs);
  setenv("OAM_DEVTAB", "/opt/devtab", 1);
  EXPECT_EQ(Text(LSGetservers()), "beta,gamma");
  EXPECT_STREQ(getenv("OAM_DEVTAB"), "/opt/devtab");
  unsetenv("OAM_DEVTAB");
  EXPECT_EQ(Text(LSGetservers()), "beta,gamma");
  EXPECT_EQ(getenv("OAM_DEVTAB"), nullptr);
  // A node is known by its whole name.
  EXPECT_EQ(verify_node("gamma"), 1);
  EXPECT_EQ(verify_node("gam"), 0);
  // A registry that cannot be opened for another reason is not replaced.
  ASSERT_EQ(symlink("KELDA_servers", Under("/etc/KELDA_servers").c_str()), 0);
  EXPECT_EQ(Text(LSGetservers()), "NULL");
}

// Every byte alone and inside a word, under each rule: a node name holds
// letters, digits and ". _ -"; any other word also ", : / @ % + =".  Only
// a path may be empty; no word may be missing.
TEST_F(LsUnitTest, ShellWordsHoldOnlyWhatBothShellsReadAlike) {
  for (int c = 1; c < 256; ++c) {
    const bool node = isalnum(c) || strchr("._-", c) != nullptr;
    const bool word = node || strchr(",:/@%+=", c) != nullptr;
    const std::string one(1, static_cast<char>(c));
    for (const std::string& text : {one, "ab" + one + "cd"}) {
      EXPECT_EQ(ls::WordAllowed(text.c_str(), WordRule::kNode), node) << c;
      EXPECT_EQ(ls::WordAllowed(text.c_str(), WordRule::kWord), word) << c;
      EXPECT_EQ(ls::WordAllowed(text.c_str(), WordRule::kPath), word) << c;
      EXPECT_TRUE(ls::WordAllowed(text.c_str(), WordRule::kComposed)) << c;
    }
  }
  for (WordRule rule : {WordRule::kNode, WordRule::kWord, WordRule::kPath, WordRule::kComposed}) {
    EXPECT_EQ(ls::WordAllowed("", rule), rule == WordRule::kPath || rule == WordRule::kComposed);
    EXPECT_FALSE(ls::WordAllowed(nullptr, rule));
  }
}

TEST_F(LsUnitTest, ShellLinesRefusedAreLoggedAndLeftEmpty) {
  const std::string fits(4095 - 2, 'a');
  const std::string refused = "LOG LS.Test 799 3: ";
  const std::string too_long = refused + "command line refused: longer than 4095 bytes";
  const struct {
    const char* format;
    std::vector<ls::ShellWord> words;
    std::string line;  // "" when refused
    std::string log;
  } rows[] = {
      {"x %s y%%", {{"alias", "d1", WordRule::kWord}}, "x d1 y%", ""},
      {"x %s", {{"alias", "a;b", WordRule::kWord}}, "",
       refused + "alias a;b refused: not allowed in a command line"},
      {"x %s", {{"alias", nullptr, WordRule::kWord}}, "",
       refused + "alias (none) refused: not allowed in a command line"},
      {"%sbc", {{"alias", fits.c_str(), WordRule::kWord}}, fits + "bc", ""},
      {"%sbcd", {{"alias", fits.c_str(), WordRule::kWord}}, "", too_long},
  };
  for (const auto& row : rows) {
    ClearLog();
    ls::ShellLine line;
    EXPECT_EQ(ls::Compose("LS.Test", row.format, std::span<const ls::ShellWord>(row.words), &line),
              !row.line.empty())
        << row.format;
    EXPECT_EQ(line.c_str(), row.line) << row.format;
    EXPECT_EQ(line.size(), row.line.size()) << row.format;
    EXPECT_EQ(Log("LOG "), row.log.empty() ? Lines{} : Lines{row.log}) << row.format;
  }
  // A run succeeds when the line exits 0; not when it fails or is killed.
  // One that cannot start is logged as such.
  ls::ShellLine line;
  for (const char* text : {"exit 0", "exit 1", "kill -9 $$"}) {
    ASSERT_TRUE(ls::Compose("LS.Test", text, {}, &line));
    EXPECT_EQ(ls::RunSucceeded(ls::RunLine(line)), text == std::string("exit 0")) << text;
  }
  ClearLog();
  ls::LogRunFailure("LS.Test", -1, line);
  EXPECT_EQ(Log("LOG "), Lines{"LOG LS.Test 701 1: system failed"});
}

}  // namespace
