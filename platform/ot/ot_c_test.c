/* Calls every exported function of libot from C, as libls and the
 * product's other C callers do, over a private machine root. */

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "platform/ot/ot.h"

static int failures = 0;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                              \
    }                                                                          \
  } while (0)

static char root[64];

static int FileHas(const char* path, const char* text) {
  char full[256], buf[4096];
  snprintf(full, sizeof full, "%s%s", root, path);
  FILE* f = fopen(full, "r");
  if (f == NULL) return 0;
  size_t n = fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  buf[n] = '\0';
  return strstr(buf, text) != NULL;
}

static void TestObjects(void) {
  KeywordList* pairs = CreateKeywordList();
  AddKeywordToList(pairs, "size", "12");
  AddKeywordToList(pairs, "do_echo", "cat");
  CHECK(OTLput("disk1", pairs) == 0);
  CHECK(OTLput("disk1", NULL) == -1);
  int status = -1;
  OTLastError(&status);
  CHECK(status == OT_STATUS_INVALID);

  AttributeRecord* r = OTLgetattr("disk1", "size");
  CHECK(r != NULL && strcmp(r->value, "12") == 0);
  free(r);
  r = OTgetattr("disk1", "size");
  CHECK(r != NULL && strcmp(r->keyword, "size") == 0);
  free(r);
  r = OTLgetmethod("disk1", "do_echo");
  CHECK(r != NULL && strcmp(r->value, "cat") == 0);
  free(r);
  CHECK(IsMethod("do_echo", OT_KEYWORD_SIZE) == 1);

  KeywordList* attrs = OTLgetattrs("disk1");
  CHECK(NumberOfKeywords(attrs) == 1);
  DestroyKeywordList(attrs);
  KeywordList* methods = OTLgetmethods("disk1");
  CHECK(NumberOfKeywords(methods) == 1);
  DestroyKeywordList(methods);

  ManagedObject* o = OTLgetobj("disk1");
  CHECK(o != NULL && strcmp(o->alias, "disk1") == 0 && o->methods != NULL);
  OTFreeObject(o);
  OTFreeObject(Create_object("made", CreateKeywordList(), NULL));

  KeywordList* out = OTLperform("disk1", "do_echo", pairs);
  CHECK(out != NULL && NumberOfKeywords(out) == 2);
  DestroyKeywordList(out);
  DestroyKeywordList(pairs);
}

static void TestBrowse(void) {
  char* next = OTLnextalias("size=12", NULL);
  CHECK(next != NULL && strcmp(next, "disk1") == 0);
  CHECK(OTLnextalias("size=12", "disk1") == NULL);

  KeywordList* search = CreateKeywordList();
  AddKeywordToList(search, "size", "12");
  AliasList* found = OTLgetaliases(search);
  CHECK(found != NULL && strcmp(found->alias, "disk1") == 0 &&
        found->next == NULL);
  OTFreeAliasList(found);
  found = OTgetaliases(search);
  CHECK(found != NULL);
  CHECK(AddAnAliasToList(&found, "alpha:disk9") == 0);
  CHECK(found->next != NULL && strcmp(found->next->alias, "alpha:disk9") == 0);
  OTFreeAliasList(found);
  DestroyKeywordList(search);

  char** items = ParseCommaList("nodeA,nodeB");
  CHECK(items != NULL && strcmp(items[1], "nodeB") == 0 && items[2] == NULL);
  DestroyCommaList(items);
}

static void TestCleanupAndLog(void) {
  char entry[64];
  uint16_t kind = 0;
  memcpy(entry, &kind, sizeof kind);
  strcpy(entry + sizeof kind, "/tmp/ZU_queryC");
  CHECK(OTcleanup(entry, 0) == 0);
  CHECK(OTcleanup(entry, 1) == 0);
  CHECK(OTcleanup(entry, 1) == 1);

  setenv("OAM_TRACE", "7", 1);
  IOLog("LS.LSPut", 703, 4, "%s is unknown to the name/locations service",
        "gamma");
  IOTrace(7, "verify_node", "status %d", 0);
  OTtrace(7, "LSQuery", "netalias = %s", "alpha:disk1");
  OTerror("LSBrowse", "Error in ReferenceKeywordInList\n");
  CHECK(FileHas("/var/adm/oam.log",
                "LOG LS.LSPut 703 4: gamma is unknown to the name/locations "
                "service\n"
                "TRACE 7 verify_node: status 0\n"
                "OTTRACE 7 LSQuery: netalias = alpha:disk1\n"
                "ERROR LSBrowse: Error in ReferenceKeywordInList\n"));
}

int main(void) {
  const char* base = getenv("TMPDIR");
  snprintf(root, sizeof root, "%s/otc.XXXXXX", base && *base ? base : "/tmp");
  if (strlen(root) > 40 || mkdtemp(root) == NULL) return 2;
  setenv("RUDED_ROOT", root, 1);
  unsetenv("OAM_TRACE");
  TestObjects();
  TestBrowse();
  TestCleanupAndLog();
  char command[128];
  snprintf(command, sizeof command, "rm -rf '%s'", root);
  if (system(command) != 0) ++failures;
  if (failures != 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}
