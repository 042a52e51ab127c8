/* ls.h compiles as C11 and a few of libls's C names link and answer, on a
 * private machine root named "alpha"; behaviour is tested in C++.  Exits 0
 * when every check holds and prints each failed check otherwise. */
#define _XOPEN_SOURCE 700
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ls.h"

static int failures = 0;

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                        \
    }                                                                    \
  } while (0)

int main(void) {
  const char* base = getenv("TMPDIR");
  char root[4096], command[4200];
  KeywordList* attrs = CreateKeywordList();
  AttributeRecord* size;
  snprintf(root, sizeof root, "%s/ls_c_test.XXXXXX", base && *base ? base : "/tmp");
  if (mkdtemp(root) == NULL) return 2;
  snprintf(command, sizeof command,
           "cd '%s' && mkdir etc tmp var var/adm && echo alpha > etc/nodename", root);
  if (system(command) != 0 || setenv("RUDED_ROOT", root, 1) != 0) return 2;

  CHECK(IsLocalAlias("alpha:disk1") == 1 && IsLocalAlias("beta:disk1") == 0);
  AddKeywordToList(attrs, "size", "12");
  CHECK(LSPut("alpha:disk1", attrs) == 0);
  DestroyKeywordList(attrs);
  size = LSQueryattr("disk1", "size");
  CHECK(size != NULL && !strcmp(size->keyword, "size") && !strcmp(size->value, "12"));
  free(size);

  snprintf(command, sizeof command, "rm -rf '%s'", root);
  if (system(command) != 0) ++failures;
  if (failures != 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}
