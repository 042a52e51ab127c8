/* libls through its C names only, compiled as C11: every exported function
 * on a private machine root named "alpha".  Exits 0 when every check holds
 * and prints each failed check otherwise. */
#define _XOPEN_SOURCE 700
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ls.h"

static int failures = 0;

#define CHECK(cond)                                              \
  do {                                                           \
    if (!(cond)) {                                               \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, \
              #cond);                                            \
      ++failures;                                                \
    }                                                            \
  } while (0)

static void WriteText(const char* path, const char* text) {
  FILE* f = fopen(path, "w");
  if (f == NULL) {
    perror(path);
    exit(2);
  }
  fputs(text, f);
  fclose(f);
}

static int RemoveEntry(const char* path, const struct stat* st, int flag,
                       struct FTW* ftw) {
  (void)st;
  (void)flag;
  (void)ftw;
  return remove(path);
}

/* A machine root with etc/nodename, tmp/ and var/adm/. */
static void MakeRoot(char* root, size_t size) {
  const char* base = getenv("TMPDIR");
  snprintf(root, size, "%s/ls_c_test.XXXXXX", base && *base ? base : "/tmp");
  if (mkdtemp(root) == NULL) {
    perror("mkdtemp");
    exit(2);
  }
  const char* dirs[] = {"/etc", "/tmp", "/var", "/var/adm"};
  char path[4096 + 64]; /* the root and a short suffix */
  for (size_t i = 0; i < sizeof dirs / sizeof dirs[0]; ++i) {
    snprintf(path, sizeof path, "%s%s", root, dirs[i]);
    mkdir(path, 0755);
  }
  snprintf(path, sizeof path, "%s/etc/nodename", root);
  WriteText(path, "alpha\n");
  setenv("RUDED_ROOT", root, 1);
}

static KeywordList* Pair(const char* keyword, const char* value) {
  KeywordList* list = CreateKeywordList();
  AddKeywordToList(list, keyword, value);
  return list;
}

static void NetAliases(void) {
  KeywordList* split = LSParseNetalias("alpha:disk1");
  char value[520];
  CHECK(split != NULL && NumberOfKeywords(split) == 2);
  CHECK(GetKeywordFmList(split, "nodename", value) == 0 && !strcmp(value, "alpha"));
  CHECK(GetKeywordFmList(split, "alias", value) == 0 && !strcmp(value, "disk1"));
  DestroyKeywordList(split);
  CHECK(LSParseNetalias("disk1") == NULL);
  KeywordList* composed = LSCreateNetalias("beta", "disk2");
  CHECK(GetKeywordFmList(composed, "netalias", value) == 0 &&
        !strcmp(value, "beta:disk2"));
  DestroyKeywordList(composed);
  CHECK(IsLocalAlias("alpha:disk1") == 1);
  CHECK(IsLocalAlias("disk1") == 1);
  CHECK(IsLocalAlias("beta:disk1") == 0);
  KeywordList* search = Pair("Containment", "beta");
  CHECK(IsLocalSearch(search) == 0);
  DestroyKeywordList(search);
  CHECK(IsLocalSearch(NULL) == 1);
}

static void LocalObject(void) {
  KeywordList* attrs = Pair("size", "12");
  AddKeywordToList(attrs, "do_echo", "cat");
  CHECK(LSPut("alpha:disk1", attrs) == 0);
  CHECK(LSPut("disk1", NULL) == -1);
  DestroyKeywordList(attrs);

  AttributeRecord* size = LSQueryattr("alpha:disk1", "size");
  CHECK(size != NULL && !strcmp(size->keyword, "size") && !strcmp(size->value, "12"));
  free(size);
  AttributeRecord* echo = LSQuerymeth("disk1", "do_echo");
  CHECK(echo != NULL && !strcmp(echo->value, "cat"));
  free(echo);
  CHECK(LSQueryattr("disk1", "absent") == NULL);

  KeywordList* all = LSQueryattrs("disk1");
  CHECK(all != NULL && NumberOfKeywords(all) == 1);
  DestroyKeywordList(all);
  KeywordList* methods = LSQuerymeths("alpha:disk1");
  CHECK(methods != NULL && NumberOfKeywords(methods) == 1);
  DestroyKeywordList(methods);
  ManagedObject* object = LSQueryobjs("disk1");
  CHECK(object != NULL && !strcmp(object->alias, "disk1"));
  OTFreeObject(object);

  char* first = LSQuerynext("all", "alpha:");
  CHECK(first != NULL && !strcmp(first, "disk1"));
  CHECK(LSQuerynext("all", "disk1") == NULL);
  AliasList* aliases = LSgetaliases(NULL);
  CHECK(aliases != NULL && !strcmp(aliases->alias, "disk1") && aliases->next == NULL);
  OTFreeAliasList(aliases);

  KeywordList* params = Pair("a", "1");
  KeywordList* out = RSPerform("disk1", "do_echo", params);
  char value[520];
  CHECK(out != NULL && GetKeywordFmList(out, "a", value) == 0 && !strcmp(value, "1"));
  DestroyKeywordList(out);
  DestroyKeywordList(params);
}

int main(void) {
  char root[4096];
  MakeRoot(root, sizeof root);
  NetAliases();
  LocalObject();
  nftw(root, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  if (failures != 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}
