/* ls.h compiles as C11 and a few of libls's C names link and answer, on a
 * private machine root named "alpha"; behaviour is tested in C++.  Exits 0
 * when the calls answer as expected, 1 (saying so) otherwise. */
#define _XOPEN_SOURCE 700
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ls.h"

int main(void) {
  const char* base = getenv("TMPDIR");
  char root[4096], command[4200];
  KeywordList* attrs = CreateKeywordList();
  AttributeRecord* size;
  int ok;
  snprintf(root, sizeof root, "%s/ls_c_test.XXXXXX", base && *base ? base : "/tmp");
  if (mkdtemp(root) == NULL) return 2;
  snprintf(command, sizeof command,
           "cd '%s' && mkdir etc tmp var var/adm && echo alpha > etc/nodename", root);
  if (system(command) != 0 || setenv("RUDED_ROOT", root, 1) != 0) return 2;

  ok = IsLocalAlias("alpha:disk1") == 1 && IsLocalAlias("beta:disk1") == 0;
  AddKeywordToList(attrs, "size", "12");
  ok = ok && LSPut("alpha:disk1", attrs) == 0;
  DestroyKeywordList(attrs);
  size = LSQueryattr("disk1", "size");
  ok = ok && size != NULL && !strcmp(size->keyword, "size") && !strcmp(size->value, "12");
  free(size);

  snprintf(command, sizeof command, "rm -rf '%s'", root);
  ok = system(command) == 0 && ok;
  if (!ok) fprintf(stderr, "ls_c_test: a call failed\n");
  return ok ? 0 : 1;
}
