/* libls through its C names only, compiled as C11: every exported function
 * on a private machine root named "alpha".  Exits 0 when every check holds
 * and prints each failed check otherwise. */
#define _XOPEN_SOURCE 700
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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

/* A machine root with etc/nodename, tmp/ and var/adm/; exits 2 on failure. */
static void MakeRoot(char* root, size_t size) {
  const char* base = getenv("TMPDIR");
  char command[4200];
  snprintf(root, size, "%s/ls_c_test.XXXXXX", base && *base ? base : "/tmp");
  if (mkdtemp(root) == NULL) exit(2);
  snprintf(command, sizeof command,
           "cd '%s' && mkdir etc tmp var var/adm && echo alpha > etc/nodename",
           root);
  if (system(command) != 0 || setenv("RUDED_ROOT", root, 1) != 0) exit(2);
}

static KeywordList* Pair(const char* keyword, const char* value) {
  KeywordList* list = CreateKeywordList();
  AddKeywordToList(list, keyword, value);
  return list;
}

static void NetAliases(void) {
  KeywordList* split = LSParseNetalias("alpha:disk1");
  KeywordList* composed = LSCreateNetalias("beta", "disk2");
  KeywordList* search = Pair("Containment", "beta");
  char value[520];
  CHECK(GetKeywordFmList(split, "alias", value) == 0 && !strcmp(value, "disk1"));
  CHECK(LSParseNetalias("disk1") == NULL);
  CHECK(GetKeywordFmList(composed, "netalias", value) == 0 &&
        !strcmp(value, "beta:disk2"));
  CHECK(IsLocalAlias("alpha:disk1") == 1 && IsLocalAlias("beta:disk1") == 0);
  CHECK(IsLocalSearch(search) == 0 && IsLocalSearch(NULL) == 1);
  DestroyKeywordList(split);
  DestroyKeywordList(composed);
  DestroyKeywordList(search);
}

static void LocalObject(void) {
  KeywordList* attrs = Pair("size", "12");
  KeywordList *all, *methods, *params, *out;
  AttributeRecord *size, *echo;
  ManagedObject* object;
  AliasList* aliases;
  char* first;
  char value[520];
  AddKeywordToList(attrs, "do_echo", "cat");
  CHECK(LSPut("alpha:disk1", attrs) == 0);
  CHECK(LSPut("disk1", NULL) == -1);
  DestroyKeywordList(attrs);

  size = LSQueryattr("alpha:disk1", "size");
  CHECK(size != NULL && !strcmp(size->keyword, "size") && !strcmp(size->value, "12"));
  free(size);
  echo = LSQuerymeth("disk1", "do_echo");
  CHECK(echo != NULL && !strcmp(echo->value, "cat"));
  free(echo);
  all = LSQueryattrs("disk1");
  CHECK(all != NULL && NumberOfKeywords(all) == 1);
  DestroyKeywordList(all);
  methods = LSQuerymeths("alpha:disk1");
  CHECK(methods != NULL && NumberOfKeywords(methods) == 1);
  DestroyKeywordList(methods);
  object = LSQueryobjs("disk1");
  CHECK(object != NULL && !strcmp(object->alias, "disk1"));
  OTFreeObject(object);

  first = LSQuerynext("all", "alpha:");
  CHECK(first != NULL && !strcmp(first, "disk1"));
  CHECK(LSQuerynext("all", "disk1") == NULL);
  aliases = LSgetaliases(NULL);
  CHECK(aliases != NULL && !strcmp(aliases->alias, "disk1") && aliases->next == NULL);
  OTFreeAliasList(aliases);

  params = Pair("a", "1");
  out = RSPerform("disk1", "do_echo", params);
  CHECK(out != NULL && GetKeywordFmList(out, "a", value) == 0 && !strcmp(value, "1"));
  DestroyKeywordList(out);
  DestroyKeywordList(params);
}

int main(void) {
  char root[4096], command[4200];
  MakeRoot(root, sizeof root);
  NetAliases();
  LocalObject();
  snprintf(command, sizeof command, "rm -rf '%s'", root);
  if (system(command) != 0) ++failures;
  if (failures != 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}
