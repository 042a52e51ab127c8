// ls_call: calls one libls operation the way a product component would and
// prints its result, so that end-to-end tests can run libls as a separate
// process on a simulated machine (RUDED_ROOT).
//
//   ls_call [-s skip] <operation> <arguments>
//     attr|meth <netalias> <name>     LSQueryattr / LSQuerymeth
//     attrs|meths|obj <netalias>      LSQueryattrs / LSQuerymeths / LSQueryobjs
//     next <selector> <netalias>      LSQuerynext
//     aliases [pairs]                 LSgetaliases
//     put <netalias> [pairs]          LSPut
//     perform <netalias> <method> [pairs]   RSPerform
//   pairs: keyword=value words, or a single "-" for no list (NULL).
//   -s: walk the list's cursor past that many items before the call.
//
// Output: records as keyword="value" lines, objects as "alias <alias>"
// followed by "attribute" and "method" lines, alias lists one per line,
// integers as "result <n>", NULL as "NULL".  Exit status 0 when the call
// succeeded, 1 when it returned NULL or -1, 2 for usage.  Before it exits it
// names on standard error every file left in the machine's tmp/ ("leftover
// <name>"), so a test sees what the call itself left behind.

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ls.h"

namespace {

int Usage() {
  fprintf(stderr, "usage: ls_call [-s skip] <operation> <arguments>\n");
  return 2;
}

// NULL for "-", otherwise a list of the keyword=value words.
KeywordList* MakeList(char** words, int count, int skip) {
  if (count == 1 && strcmp(words[0], "-") == 0) return nullptr;
  KeywordList* list = CreateKeywordList();
  for (int i = 0; i < count; ++i) {
    std::string word = words[i];
    size_t eq = word.find('=');
    std::string keyword = word.substr(0, eq);
    std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
    AddKeywordToList(list, keyword.c_str(), value.c_str());
  }
  char* k;
  char* v;
  for (int i = 0; i < skip; ++i) ReferenceNextKeywordInList(list, &k, &v);
  return list;
}

void PrintPairs(const char* prefix, KeywordList* list) {
  if (list == nullptr) return;
  for (KeywordValueBlock* b = list->kwd_val_chain; b != nullptr; b = b->next_block)
    printf("%s%s=\"%s\"\n", prefix, b->keyword_address, b->value_address);
}

int PrintList(KeywordList* list) {
  if (list == nullptr) return puts("NULL"), 1;
  PrintPairs("", list);
  DestroyKeywordList(list);
  return 0;
}

int PrintRecord(AttributeRecord* record) {
  if (record == nullptr) return puts("NULL"), 1;
  printf("%s=\"%s\"\n", record->keyword, record->value);
  free(record);
  return 0;
}

int PrintObject(ManagedObject* object) {
  if (object == nullptr) return puts("NULL"), 1;
  printf("alias %s\n", object->alias);
  PrintPairs("attribute ", object->attributes);
  PrintPairs("method ", object->methods);
  OTFreeObject(object);
  return 0;
}

int PrintAliases(AliasList* aliases) {
  if (aliases == nullptr) return puts("NULL"), 1;
  for (AliasList* a = aliases; a != nullptr; a = a->next) puts(a->alias);
  OTFreeAliasList(aliases);
  return 0;
}

int Call(int skip, int argc, char** argv) {
  const std::string op = argv[0];
  if (op == "attr" && argc == 3) return PrintRecord(LSQueryattr(argv[1], argv[2]));
  if (op == "meth" && argc == 3) return PrintRecord(LSQuerymeth(argv[1], argv[2]));
  if (op == "attrs" && argc == 2) return PrintList(LSQueryattrs(argv[1]));
  if (op == "meths" && argc == 2) return PrintList(LSQuerymeths(argv[1]));
  if (op == "obj" && argc == 2) return PrintObject(LSQueryobjs(argv[1]));
  if (op == "next" && argc == 3) {
    char* alias = LSQuerynext(argv[1], argv[2]);
    puts(alias != nullptr ? alias : "NULL");
    return alias != nullptr ? 0 : 1;
  }
  if (op == "aliases") {
    KeywordList* search = MakeList(argv + 1, argc - 1, skip);
    int status = PrintAliases(LSgetaliases(search));
    if (search != nullptr) DestroyKeywordList(search);
    return status;
  }
  if (op == "put" && argc >= 2) {
    KeywordList* list = MakeList(argv + 2, argc - 2, skip);
    fflush(stdout);
    int result = LSPut(argv[1], list);
    printf("result %d\n", result);
    if (list != nullptr) DestroyKeywordList(list);
    return result == 0 ? 0 : 1;
  }
  if (op == "perform" && argc >= 3) {
    KeywordList* list = MakeList(argv + 3, argc - 3, skip);
    int status = PrintList(RSPerform(argv[1], argv[2], list));
    if (list != nullptr) DestroyKeywordList(list);
    return status;
  }
  return Usage();
}

void ReportLeftovers() {
  const char* root = getenv("RUDED_ROOT");
  std::string tmp = std::string(root != nullptr ? root : "") + "/tmp";
  DIR* dir = opendir(tmp.c_str());
  if (dir == nullptr) return;
  while (dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
      fprintf(stderr, "leftover %s\n", e->d_name);
  }
  closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
  int skip = 0;
  for (int opt; (opt = getopt(argc, argv, "+s:")) != -1;) {
    if (opt != 's') return Usage();
    skip = atoi(optarg);
  }
  if (optind >= argc) return Usage();
  int status = Call(skip, argc - optind, argv + optind);
  fflush(stdout);
  ReportLeftovers();
  return status;
}
