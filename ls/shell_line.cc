#include "ls/shell_line.h"

#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <string>
#include <string_view>

#include "ls/ls_misc.h"
#include "platform/os/os.h"
#include "platform/ot/ot.h"

namespace ls {
namespace {

bool IsAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

bool CharAllowed(char c, WordRule rule) {
  if (IsAlnum(c) || c == '.' || c == '_' || c == '-') return true;
  if (rule == WordRule::kNode) return false;
  return c != '\0' && strchr(",:/@%+=", c) != nullptr;
}

// Appends text to out, failing when out would not hold it with its NUL.
bool Append(std::string& out, std::string_view text) {
  if (out.size() + text.size() >= kLineSize) return false;
  out.append(text);
  return true;
}

// The words substituted into format; false when they do not match or the
// result does not fit.
bool Substitute(const char* format, std::span<const ShellWord> words,
                std::string& out) {
  auto word = words.begin();
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == '%') {
      if (!Append(out, "%")) return false;
      ++p;
    } else if (p[0] == '%' && p[1] == 's') {
      if (word == words.end() || !Append(out, word->text)) return false;
      ++word;
      ++p;
    } else if (!Append(out, std::string_view(p, 1))) {
      return false;
    }
  }
  return word == words.end();
}

}  // namespace

bool WordAllowed(const char* text, WordRule rule) {
  if (text == nullptr) return false;
  if (rule == WordRule::kComposed) return true;
  if (*text == '\0') return rule == WordRule::kPath;
  for (const char* p = text; *p != '\0'; ++p) {
    if (!CharAllowed(*p, rule)) return false;
  }
  return true;
}

bool ValueAllowed(const char* value) {
  return value != nullptr && strchr(value, '\n') == nullptr;
}

bool ValuesAllowed(const char* component, KeywordList* list) {
  if (list == nullptr || ValidKeywordList(list) != 0) return true;
  // From the cursor, as the file is written; the cursor is not moved.
  for (const KeywordValueBlock* b = list->next_kwd_val; b != nullptr;
       b = b->next_block) {
    if (!ValueAllowed(b->value_address)) {
      IOLog(component, 799, 3,
            "value of %s refused: not allowed in a parameter file",
            b->keyword_address);
      return false;
    }
  }
  return true;
}

void LogTooLong(const char* component, const char* role, size_t max_bytes) {
  IOLog(component, 799, 3, "%s refused: longer than %zu bytes", role,
        max_bytes);
}

bool Compose(const char* component, const char* format,
             std::span<const ShellWord> words, ShellLine* out) {
  out->text_[0] = '\0';
  out->size_ = 0;
  for (const ShellWord& w : words) {
    if (!WordAllowed(w.text, w.rule)) {
      IOLog(component, 799, 3, "%s %s refused: not allowed in a command line",
            w.role, w.text != nullptr ? w.text : "(none)");
      return false;
    }
  }
  std::string line;
  if (!Substitute(format, words, line)) {
    LogTooLong(component, "command line", kLineSize - 1);
    return false;
  }
  memcpy(out->text_, line.c_str(), line.size() + 1);
  out->size_ = line.size();
  return true;
}

bool ComposeCommand(const char* component, const char* devtab,
                    const char* tool, std::span<const ShellWord> words,
                    ShellLine* out) {
  const std::string dir = platform::MapPath(kCommandDir);
  const std::string format =
      std::string("\"OAM_DEVTAB=%s export OAM_DEVTAB;%s") + tool + "\"";
  // The device table and the command directory come first, then the words
  // in the order tool names them.
  constexpr size_t kMaxWords = 4;
  ShellWord all[kMaxWords + 2] = {
      {"device table", devtab, WordRule::kPath},
      {"command directory", dir.c_str(), WordRule::kPath}};
  if (words.size() > kMaxWords) return false;
  size_t n = 2;
  for (const ShellWord& w : words) all[n++] = w;
  return Compose(component, format.c_str(),
                 std::span<const ShellWord>(all, n), out);
}

bool ComposeRemote(const char* component, const char* node,
                   const ShellLine& command, const TempFile* param,
                   const TempFile* output, ShellLine* out) {
  const std::string dir = platform::MapPath(kCommandDir);
  const ShellWord node_word{"node name", node, WordRule::kNode};
  const ShellWord dir_word{"command directory", dir.c_str(), WordRule::kPath};
  const ShellWord cmd_word{"command", command.c_str(), WordRule::kComposed};
  if (param != nullptr && output != nullptr) {
    return Compose(component, "cat %s | %sRSClient -N %s -E %s > %s",
                   {{"parameter file", param->mapped(), WordRule::kPath},
                    dir_word, node_word, cmd_word,
                    {"output file", output->mapped(), WordRule::kPath}},
                   out);
  }
  if (param != nullptr) {
    return Compose(component, "cat %s | %sRSClient -N %s -E %s",
                   {{"parameter file", param->mapped(), WordRule::kPath},
                    dir_word, node_word, cmd_word},
                   out);
  }
  if (output != nullptr) {
    return Compose(component, "%sRSClient -N %s -E %s > %s",
                   {dir_word, node_word, cmd_word,
                    {"output file", output->mapped(), WordRule::kPath}},
                   out);
  }
  return Compose(component, "%sRSClient -N %s -E %s",
                 {dir_word, node_word, cmd_word}, out);
}

int RunLine(const ShellLine& line) {
  // Output of the far command that is not redirected (OTput's) must come
  // after whatever the caller has already written.
  fflush(stdout);
  return system(line.c_str());
}

bool RunSucceeded(int status) {
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void LogRunFailure(const char* component, int status, const ShellLine& line) {
  IOLog(component, 701, 1, "%s failed",
        status == -1 ? "system" : line.c_str());
}

}  // namespace ls
