// RSClient's OpenSSH transport.

#include <errno.h>
#include <string.h>
#include <unistd.h>
#include <wordexp.h>

#include <string>
#include <vector>

#include "platform/os/os.h"
#include "platform/ot/ot.h"
#include "platform/ot/rsclient.h"

namespace ot {
namespace {

std::string WordexpError(int rc) {
  switch (rc) {
    case WRDE_BADCHAR:
      return "an unquoted | & ; < > ( ) { } or newline";
    case WRDE_CMDSUB:
      return "command substitution is not allowed";
    case WRDE_SYNTAX:
      return "unbalanced quotes";
    case WRDE_NOSPACE:
      return "No more memory";
    default:
      return "cannot be split (wordexp " + std::to_string(rc) + ")";
  }
}

bool Blank(const char* text) {
  for (; *text != '\0'; ++text)
    if (*text != ' ' && *text != '\t' && *text != '\n') return false;
  return true;
}

}  // namespace

bool SshArgv(const char* rs_ssh, const std::string& node,
             const std::string& command, std::vector<std::string>* argv,
             std::string* err) {
  argv->clear();
  if (rs_ssh == nullptr || Blank(rs_ssh)) {
    // Given on the command line, the timeout wins over ssh_config, which
    // takes the first value it meets; RS_SSH is how to choose another.
    *argv = {"ssh", "-o", "ConnectTimeout=" + std::to_string(kRsConnectTimeout)};
  } else {
    wordexp_t words;
    int rc = wordexp(rs_ssh, &words, WRDE_NOCMD);
    if (rc != 0) {
      if (rc == WRDE_NOSPACE) wordfree(&words);
      *err = std::string(kRsSshEnv) + ": " + WordexpError(rc);
      return false;
    }
    argv->assign(words.we_wordv, words.we_wordv + words.we_wordc);
    wordfree(&words);
    if (argv->empty()) {
      *err = std::string(kRsSshEnv) + ": no command";
      return false;
    }
  }
  argv->insert(argv->end(),
               {"-o", "BatchMode=yes", "-T", "--", node, command});
  return true;
}

int RunOverSsh(const std::string& node, const std::string& command) {
  std::vector<std::string> words;
  std::string err;
  if (!SshArgv(getenv(kRsSshEnv), node, command, &words, &err))
    return Fail(err);
  std::string line;
  std::vector<char*> args;
  for (std::string& w : words) {
    line += (line.empty() ? "" : " ") + w;
    args.push_back(w.data());
  }
  args.push_back(nullptr);
  IOTrace(8, "RSClient", "%s runs on %s over ssh: %s",
          platform::NodeName().c_str(), node.c_str(), line.c_str());
  execvp(args[0], args.data());
  return Fail(words[0] + ": " + strerror(errno));
}

}  // namespace ot
