// Composing and running the shell lines that carry a request to another
// node.
//
// Every line that libls hands to system() is built here and nowhere else.
// A word that goes into a line is read by two shells (here, inside double
// quotes, and on the far node), so only words that mean the same to both
// are let through: a node name may hold letters, digits and ". _ -"; any
// other word letters, digits and ". _ - , : / @ % + =".  An empty word is
// refused too, since it would shift the operands that follow it.  Every
// line is formed in a fixed 4096-byte buffer, and a line that would not fit
// is refused, never cut.  A refusal is logged as
//   IOLog(component, 799, 3, "%s %s refused: not allowed in a command line")
//   IOLog(component, 799, 3, "%s refused: longer than %d bytes")
// and nothing runs.  Values never travel on a line; they go in parameter
// files.
//
// The values of a parameter file for another node are checked here too.
// Its lines are read by the far command, one pair a line, so a value
// holding a newline would start a line of the sender's choosing; such a
// value is refused before any file is named or written and before
// anything runs, as
//   IOLog(component, 799, 3, "value of %s refused: not allowed in a parameter file")
// naming the pair's keyword.  A double quote or a tab goes into the file
// as it stands: the far OTput and OTperform refuse a file in which a
// closing quote does not end its line.  A call that stays on this node
// hands its values to the object-tool library, whose own rules apply.

#ifndef RUDED_LS_SHELL_LINE_H_
#define RUDED_LS_SHELL_LINE_H_

#include <stddef.h>

#include <initializer_list>
#include <span>

#include "ls/ls_internal.h"

namespace ls {

class TempFile;

// What a word may hold.
enum class WordRule {
  kNode,      // a node name
  kWord,      // alias, attribute, method, selector, previous alias
  kPath,      // device table path, mapped directory or file (may be empty)
  kComposed,  // a command this module already composed: taken as it is
};

struct ShellWord {
  const char* role;  // names the word in a refusal: "alias", "node name"
  const char* text;
  WordRule rule;
};

// True when text may stand in a line under rule.
bool WordAllowed(const char* text, WordRule rule);

// True when value can stand in a parameter file line: it holds no
// newline.
bool ValueAllowed(const char* value);

// True when every value that a walk of list from its cursor gives (the
// pairs its parameter file will hold; the cursor is not moved) is
// allowed, and for a NULL list.  Otherwise logs
// the refusal of the first value that is not, under component, and
// returns false.
bool ValuesAllowed(const char* component, KeywordList* list);

// Logs the 799/3 refusal of text that is longer than max_bytes bytes.
void LogTooLong(const char* component, const char* role, size_t max_bytes);

// A composed line.  Empty until a Compose call succeeds.
class ShellLine {
 public:
  const char* c_str() const { return text_; }
  size_t size() const { return size_; }

 private:
  friend bool Compose(const char*, const char*, std::span<const ShellWord>,
                      ShellLine*);
  char text_[kLineSize] = "";
  size_t size_ = 0;
};

// Replaces each "%s" of format, in order, by the next word; "%%" stands for
// "%".  Returns false after logging the refusal when a word breaks its rule,
// the words do not match the format, or the line would not fit; *out is
// then empty.
bool Compose(const char* component, const char* format,
             std::span<const ShellWord> words, ShellLine* out);
inline bool Compose(const char* component, const char* format,
                    std::initializer_list<ShellWord> words, ShellLine* out) {
  return Compose(component, format,
                 std::span<const ShellWord>(words.begin(), words.size()), out);
}

// The quoted object-tool command: a double quote, "OAM_DEVTAB=<devtab>
// export OAM_DEVTAB;", the mapped command directory, tool (the command name
// and its options, with "%s" for each word), and a closing double quote.
bool ComposeCommand(const char* component, const char* devtab,
                    const char* tool, std::span<const ShellWord> words,
                    ShellLine* out);
inline bool ComposeCommand(const char* component, const char* devtab,
                           const char* tool,
                           std::initializer_list<ShellWord> words,
                           ShellLine* out) {
  return ComposeCommand(component, devtab, tool,
                        std::span<const ShellWord>(words.begin(), words.size()),
                        out);
}

// The line that runs command on node through RSClient:
//   [cat <param> | ]<mapped command dir>RSClient -N <node> -E <command>[ > <output>]
// param and output may be NULL; both appear with their mapped names.
bool ComposeRemote(const char* component, const char* node,
                   const ShellLine& command, const TempFile* param,
                   const TempFile* output, ShellLine* out);

// Runs line with system().  Returns its status.
int RunLine(const ShellLine& line);

// True when a status from RunLine means the command ran and exited with 0.
// A shell killed by a signal counts as a failure.
bool RunSucceeded(int status);

// Logs IOLog(component, 701, 1, "%s failed", what): "system" when the status
// is -1, the whole line otherwise.
void LogRunFailure(const char* component, int status, const ShellLine& line);

}  // namespace ls

#endif  // RUDED_LS_SHELL_LINE_H_
