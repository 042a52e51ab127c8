// ls_call: calls one libls operation the way a product component would and
// prints its result, so that end-to-end tests can run libls as a separate
// process on a simulated machine (RUDED_ROOT).
//
//   ls_call [-s skip] [-S] <operation> <arguments>
//     attr|meth <netalias> <name>     LSQueryattr / LSQuerymeth
//     attrs|meths|obj <netalias>      LSQueryattrs / LSQuerymeths / LSQueryobjs
//     next <selector> <netalias>      LSQuerynext
//     aliases [pairs]                 LSgetaliases
//     put <netalias> [pairs]          LSPut
//     perform <netalias> <method> [pairs]   RSPerform
//   pairs: keyword=value words, or a single "-" for no list (NULL).
//   -s: walk the list's cursor past that many items before the call.
//   -S: stepped, for the allocation-failure tests: reads allocation numbers
//       from standard input, one a line, and for each runs the call in a
//       child of this already loaded process with that allocation failing
//       (-1: none); the child's standard error joins its output, and
//       "ls_call: status <n>" follows it.
//
// Output: records as keyword="value" lines, objects as "alias <alias>"
// followed by "attribute" and "method" lines, alias lists one per line,
// integers as "result <n>", NULL as "NULL".  Exit status 0 when the call
// succeeded, 1 when it returned NULL or -1, 2 for usage, 3 when the call
// changed the caller's list.  Before it exits it names on standard error
// every file left in the machine's tmp/ ("leftover <name>"), so a test
// sees what the call itself left behind.  Under the preloaded
// robust_failmalloc.so (with -S) only the call and the release of its
// result are counted.

#include <dirent.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "ls.h"

namespace {

int Usage() {
  fprintf(stderr, "usage: ls_call [-s skip] [-S] <operation> <arguments>\n");
  return 2;
}

// NULL for "-", otherwise a list of the keyword=value words.
KeywordList* MakeList(char** words, int count, int skip) {
  if (count == 1 && strcmp(words[0], "-") == 0) return nullptr;
  KeywordList* list = CreateKeywordList();
  for (int i = 0; i < count; ++i) {
    const char* eq = strchr(words[i], '=');
    const std::string keyword(words[i], eq ? eq - words[i] : strlen(words[i]));
    AddKeywordToList(list, keyword.c_str(), eq ? eq + 1 : "");
  }
  char* k;
  char* v;
  for (int i = 0; i < skip; ++i) ReferenceNextKeywordInList(list, &k, &v);
  return list;
}

// Prints the pairs with prefix into out (stdout when null).
void PrintPairs(const char* prefix, KeywordList* list, std::string* out = nullptr) {
  for (KeywordValueBlock* b = list ? list->kwd_val_chain : nullptr; b; b = b->next_block) {
    if (out != nullptr) *out += std::string(b->keyword_address) + "=" + b->value_address + "\n";
    if (out == nullptr) printf("%s%s=\"%s\"\n", prefix, b->keyword_address, b->value_address);
  }
}

int Null() { return puts("NULL"), 1; }

int PrintList(KeywordList* list) {
  if (list == nullptr) return Null();
  PrintPairs("", list);
  DestroyKeywordList(list);
  return 0;
}

int PrintRecord(AttributeRecord* record) {
  if (record == nullptr) return Null();
  printf("%s=\"%s\"\n", record->keyword, record->value);
  free(record);
  return 0;
}

int Call(int argc, char** argv, KeywordList* list) {
  const std::string op = argv[0];
  if (op == "attr" && argc == 3) return PrintRecord(LSQueryattr(argv[1], argv[2]));
  if (op == "meth" && argc == 3) return PrintRecord(LSQuerymeth(argv[1], argv[2]));
  if (op == "attrs" && argc == 2) return PrintList(LSQueryattrs(argv[1]));
  if (op == "meths" && argc == 2) return PrintList(LSQuerymeths(argv[1]));
  if (op == "obj" && argc == 2) {
    ManagedObject* object = LSQueryobjs(argv[1]);
    if (object == nullptr) return Null();
    printf("alias %s\n", object->alias);
    PrintPairs("attribute ", object->attributes);
    PrintPairs("method ", object->methods);
    OTFreeObject(object);
    return 0;
  }
  if (op == "next" && argc == 3) {
    char* alias = LSQuerynext(argv[1], argv[2]);
    if (alias == nullptr) return Null();
    return puts(alias), 0;
  }
  if (op == "aliases") {
    AliasList* aliases = LSgetaliases(list);
    if (aliases == nullptr) return Null();
    for (AliasList* a = aliases; a != nullptr; a = a->next) puts(a->alias);
    OTFreeAliasList(aliases);
    return 0;
  }
  if (op == "put" && argc >= 2) {
    const int result = LSPut(argv[1], list);
    printf("result %d\n", result);
    return result == 0 ? 0 : 1;
  }
  if (op == "perform" && argc >= 3) return PrintList(RSPerform(argv[1], argv[2], list));
  return Usage();
}

// Runs the call once; under the preloaded allocator (stepped), counts it
// with allocation fail_at failing.
int Counted(int argc, char** argv, KeywordList* list, long fail_at) {
  std::string before, after;
  PrintPairs("", list, &before);
  using Start = void (*)(long, int);
  const auto start = reinterpret_cast<Start>(dlsym(RTLD_DEFAULT, "robust_start"));
  const auto report = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "robust_report"));
  if (start != nullptr) start(fail_at, 1);
  int status = Call(argc, argv, list);
  fflush(stdout);
  if (report != nullptr) report();
  PrintPairs("", list, &after);
  if (after != before) status = 3;
  if (list != nullptr) DestroyKeywordList(list);
  const char* root = getenv("RUDED_ROOT");
  if (DIR* dir = opendir((std::string(root ? root : "") + "/tmp").c_str())) {
    while (dirent* e = readdir(dir))
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
        fprintf(stderr, "leftover %s\n", e->d_name);
    closedir(dir);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  int skip = 0;
  bool stepped = false;
  for (int opt; (opt = getopt(argc, argv, "+s:S")) != -1;) {
    if (opt == '?') return Usage();
    stepped = stepped || opt == 'S';
    if (opt == 's') skip = atoi(optarg);
  }
  if (optind >= argc) return Usage();
  argc -= optind;
  argv += optind;
  // The lists' words follow the operation and its fixed arguments.
  const std::string op = argv[0];
  const int fixed = op == "aliases" ? 1 : op == "put" ? 2 : op == "perform" ? 3 : argc + 1;
  KeywordList* list = argc >= fixed ? MakeList(argv + fixed, argc - fixed, skip) : nullptr;
  // Printing must not allocate inside the count.
  static char out[BUFSIZ];
  setvbuf(stdout, out, _IOFBF, sizeof out);
  if (!stepped) return Counted(argc, argv, list, -1);
  // What libls and the object-tool library set up once per process (the
  // machine root, the log) is set up first, outside every count.
  free(LSQueryattr("System", "nodename"));
  LSQuerynext("all", nullptr);  // logs a refusal
  char line[32];
  while (fgets(line, sizeof line, stdin) != nullptr) {
    const pid_t child = fork();
    if (child == 0) {
      dup2(1, 2);
      exit(Counted(argc, argv, list, atol(line)));
    }
    int status = 0;
    waitpid(child, &status, 0);
    printf("ls_call: status %d\n",
           WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    fflush(stdout);
  }
  return 0;
}
