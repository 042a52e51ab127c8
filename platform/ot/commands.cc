#include "platform/ot/commands.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "platform/os/os.h"
#include "platform/os/unique_fd.h"
#include "platform/ot/ot.h"

namespace ot {
namespace {

struct ListDestroyer {
  void operator()(KeywordList* list) const { DestroyKeywordList(list); }
};
using ListPtr = std::unique_ptr<KeywordList, ListDestroyer>;

// Closes a file unless it is standard input.
struct InputCloser {
  void operator()(FILE* f) const {
    if (f != stdin) fclose(f);
  }
};
using InputPtr = std::unique_ptr<FILE, InputCloser>;

using Options = std::map<char, std::string>;

struct Command {
  const char* name;
  const char* synopsis;
  const char* letters;   // options taking a value
  const char* required;  // those that must be given
  int (*run)(const char* name, const Options& options);
};

int Fail(const char* name, const std::string& message) {
  fprintf(stderr, "%s: %s\n", name, message.c_str());
  return kExitFailure;
}

// The library's reason, or fallback when it gave none.
int FailFromLibrary(const char* name, const std::string& fallback) {
  const char* reason = OTLastError(nullptr);
  return Fail(name, *reason != '\0' ? reason : fallback);
}

int Flush(const char* name) {
  if (fflush(stdout) != 0 || ferror(stdout))
    return Fail(name, std::string("write error: ") + strerror(errno));
  return kExitOk;
}

int PrintList(const char* name, KeywordList* list) {
  KeywordListToStream(stdout, list);
  return Flush(name);
}

int PrintPair(const char* name, const char* keyword, const char* value) {
  ListPtr list(CreateKeywordList());
  if (!list || AddKeywordToList(list.get(), keyword, value) != SSPI_OK)
    return Fail(name, "No more memory");
  return PrintList(name, list.get());
}

// "-" is standard input; anything else a file under the machine root.
InputPtr OpenInput(const char* name, const std::string& input) {
  if (input == "-") return InputPtr(stdin);
  InputPtr in(fopen(platform::MapPath(input).c_str(), "re"));
  if (!in) Fail(name, "open(" + input + "): " + strerror(errno));
  return in;
}

// The keyword of the first pair of text, read from in, that ends at a
// closing double quote with more than a newline after it, or "" when
// there is none.  Pairs are read up to the end or to the first malformed
// one, which the full read reports.
std::string QuoteLeavingLine(FILE* in, const std::string& text) {
  char keyword[40];
  char value[520];
  for (;;) {
    int result = GetKeyword(in, keyword, value);
    if (result == SSPI_E_NO_VALUE || result == SSPI_E_EMPTY_VALUE) continue;
    if (result != SSPI_OK) return "";
    // A pair that ends at a quote ends at the quote that closes it.
    const long at = ftell(in);
    if (at <= 0 || static_cast<size_t>(at) >= text.size()) continue;
    if (text[at - 1] == '"' && text[at] != '\n') return keyword;
  }
}

// OTput's and OTperform's input: a parameter file, keyword="value" one
// pair a line.  The stream form also lets bare pairs share a line (a=1
// b=2), but a closing quote must end its line: what follows it there
// would be a pair that a value planted, not one its sender wrote.
ListPtr ReadStream(const char* name, const std::string& input) {
  InputPtr in = OpenInput(name, input);
  if (!in) return nullptr;
  const std::string what = input == "-" ? "standard input" : input;
  std::string text;
  if (!platform::ReadAll(fileno(in.get()), &text)) {
    Fail(name, what + ": read error: " + strerror(errno));
    return nullptr;
  }
  InputPtr memory(fmemopen(text.data(), text.size(), "r"));
  if (!memory) {
    Fail(name, "No more memory");
    return nullptr;
  }
  if (const std::string keyword = QuoteLeavingLine(memory.get(), text);
      !keyword.empty()) {
    Fail(name, what + ": not a parameter file: the value of " + keyword +
                   " is followed by more after its closing quote");
    return nullptr;
  }
  rewind(memory.get());
  ListPtr list(KeywordStreamToList(memory.get()));
  if (!list)
    Fail(name, what + ": not a keyword stream (sspi_errno " +
                   std::to_string(sspi_errno) + ")");
  return list;
}

int GetOne(const char* name, const Options& o,
           AttributeRecord* (*get)(const char*, const char*)) {
  AttributeRecord* record = get(o.at('A').c_str(), o.at('K').c_str());
  if (record == nullptr) return FailFromLibrary(name, "not found");
  int status = PrintPair(name, record->keyword, record->value);
  free(record);
  return status;
}

int GetAll(const char* name, const Options& o,
           KeywordList* (*get)(const char*)) {
  ListPtr list(get(o.at('A').c_str()));
  if (!list) return FailFromLibrary(name, "not found");
  return PrintList(name, list.get());
}

int GetAttr(const char* name, const Options& o) {
  return GetOne(name, o, OTLgetattr);
}
int GetMethod(const char* name, const Options& o) {
  return GetOne(name, o, OTLgetmethod);
}
int GetAttrs(const char* name, const Options& o) {
  return GetAll(name, o, OTLgetattrs);
}
int GetMethods(const char* name, const Options& o) {
  return GetAll(name, o, OTLgetmethods);
}

int GetObj(const char* name, const Options& o) {
  ManagedObject* object = OTLgetobj(o.at('A').c_str());
  if (object == nullptr) return FailFromLibrary(name, "not found");
  int status = PrintPair(name, "alias", object->alias);
  if (status == kExitOk && object->attributes)
    status = PrintList(name, object->attributes);
  if (status == kExitOk && object->methods)
    status = PrintList(name, object->methods);
  OTFreeObject(object);
  return status;
}

int NextAlias(const char* name, const Options& o) {
  auto previous = o.find('P');
  const char* alias =
      OTLnextalias(o.at('C').c_str(),
                   previous == o.end() ? nullptr : previous->second.c_str());
  if (alias == nullptr) return FailFromLibrary(name, "no alias");
  printf("%s\n", alias);
  return Flush(name);
}

// getline()'s buffer, freed whatever getline() last made of it.
struct LineBuffer {
  LineBuffer() = default;
  ~LineBuffer() { free(data); }
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;
  char* data = nullptr;
  size_t size = 0;
};

// Reads "keyword=value" lines; the value is the rest of the line.  Empty
// lines are skipped.
ListPtr ReadSearch(const char* name, const std::string& input) {
  InputPtr in = OpenInput(name, input);
  ListPtr list(in ? CreateKeywordList() : nullptr);
  if (!list) return nullptr;
  LineBuffer line;
  for (int number = 1; getline(&line.data, &line.size, in.get()) >= 0;
       ++number) {
    char* text = line.data;
    text[strcspn(text, "\n")] = '\0';
    if (*text == '\0') continue;
    char* eq = strchr(text, '=');
    if (eq == nullptr || eq == text) {
      Fail(name, "line " + std::to_string(number) + " is not keyword=value");
      return nullptr;
    }
    *eq = '\0';
    if (AddKeywordToList(list.get(), text, eq + 1) != SSPI_OK) {
      Fail(name, "No more memory");
      return nullptr;
    }
  }
  if (ferror(in.get())) {
    Fail(name, "read error: " + std::string(strerror(errno)));
    return nullptr;
  }
  return list;
}

int GetAliases(const char* name, const Options& o) {
  ListPtr search = ReadSearch(name, o.at('I'));
  if (!search) return kExitFailure;
  AliasList* aliases = OTgetaliases(search.get());
  int status = OT_STATUS_OK;
  const char* reason = OTLastError(&status);
  if (aliases == nullptr && status != OT_STATUS_ABSENT)
    return Fail(name, *reason ? reason : "failed");
  for (AliasList* a = aliases; a != nullptr; a = a->next)
    printf("%s\n", a->alias);
  OTFreeAliasList(aliases);
  return Flush(name);
}

int Put(const char* name, const Options& o) {
  ListPtr pairs = ReadStream(name, o.at('I'));
  if (!pairs) return kExitFailure;
  if (OTLput(o.at('A').c_str(), pairs.get()) != 0)
    return FailFromLibrary(name, "put failed");
  return kExitOk;
}

int Perform(const char* name, const Options& o) {
  ListPtr params = ReadStream(name, o.at('I'));
  if (!params) return kExitFailure;
  ListPtr output(
      OTLperform(o.at('A').c_str(), o.at('M').c_str(), params.get()));
  if (!output) return FailFromLibrary(name, "perform failed");
  return PrintList(name, output.get());
}

constexpr Command kCommands[] = {
    {"OTgetattr", "-A alias -K attribute", "AK", "AK", GetAttr},
    {"OTgetmethod", "-A alias -K method", "AK", "AK", GetMethod},
    {"OTgetattrs", "-A alias", "A", "A", GetAttrs},
    {"OTgetmethods", "-A alias", "A", "A", GetMethods},
    {"OTgetobj", "-A alias", "A", "A", GetObj},
    {"OTnextalias", "-C selector [-P alias]", "CP", "C", NextAlias},
    {"OTgetaliases", "-I input", "I", "I", GetAliases},
    {"OTput", "-A alias -I input", "AI", "AI", Put},
    {"OTperform", "-A alias -M method -I input", "AMI", "AMI", Perform},
};

int Usage(const Command& c, const std::string& problem) {
  fprintf(stderr, "%s: %s\nusage: %s %s\n", c.name, problem.c_str(), c.name,
          c.synopsis);
  return kExitUsage;
}

int Parse(const Command& c, int argc, char** argv, Options* options) {
  std::string optstring = ":";
  for (const char* l = c.letters; *l; ++l)
    optstring += std::string(1, *l) + ":";
  opterr = 0;
  optind = 1;
  for (int opt; (opt = getopt(argc, argv, optstring.c_str())) != -1;) {
    if (opt == '?')
      return Usage(c, std::string("unknown option -") + char(optopt));
    if (opt == ':')
      return Usage(c,
                   std::string("option -") + char(optopt) + " needs a value");
    (*options)[static_cast<char>(opt)] = optarg;
  }
  if (optind < argc)
    return Usage(c, std::string("unexpected operand ") + argv[optind]);
  for (const char* r = c.required; *r; ++r)
    if (options->count(*r) == 0)
      return Usage(c, std::string("option -") + *r + " is required");
  return kExitOk;
}

}  // namespace

int RunCommand(const char* name, int argc, char** argv) {
  for (const Command& c : kCommands) {
    if (strcmp(c.name, name) != 0) continue;
    Options options;
    if (int status = Parse(c, argc, argv, &options); status != kExitOk)
      return status;
    return c.run(c.name, options);
  }
  fprintf(stderr, "%s: not an object-tool command\n", name);
  return kExitUsage;
}

}  // namespace ot
