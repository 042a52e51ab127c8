// hosts_client: runs every libls operation on the objects of one node and
// prints the answers, so that the answers a host gets from another host
// over RSClient can be compared with those the node gives itself.
//
//   hosts_client <node>
//
// On <node>:disk1 it asks one attribute, one method, all attributes, all
// methods and the whole object; walks LSQuerynext ("all") from the first
// alias to the end; browses with Containment <node> and type=disk; puts
// size=40 on disk4 and reads it back; performs do_size with blocks=7.
// Every answer is one or more lines; NULL and -1 are printed as such.
// Exit status 0 when every call answered, 1 otherwise.
#include <ls.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;
static char net[600];

static const char* On(const char* node, const char* alias) {
  snprintf(net, sizeof net, "%s:%s", node, alias);
  return net;
}

// Prints a list's pairs under label; a missing answer (answered == 0) as
// NULL, counted as a failure.
static void Print(const char* label, KeywordList* list, int answered) {
  if (!answered) {
    printf("%s NULL\n", label);
    failures++;
  }
  for (KeywordValueBlock* b = list ? list->kwd_val_chain : NULL; b != NULL;
       b = b->next_block)
    printf("%s %s=\"%s\"\n", label, b->keyword_address, b->value_address);
}

static void List(const char* label, KeywordList* list) {
  Print(label, list, list != NULL);
  if (list != NULL) DestroyKeywordList(list);
}

static void Record(const char* label, AttributeRecord* record) {
  KeywordList* list = CreateKeywordList();
  if (record != NULL) AddKeywordToList(list, record->keyword, record->value);
  Print(label, list, record != NULL);
  DestroyKeywordList(list);
  free(record);
}

static KeywordList* Pairs(const char* k1, const char* v1, const char* k2,
                          const char* v2) {
  KeywordList* list = CreateKeywordList();
  if (AddKeywordToList(list, k1, v1) != SSPI_OK ||
      (k2 != NULL && AddKeywordToList(list, k2, v2) != SSPI_OK))
    failures++;
  return list;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: hosts_client node\n");
    return 2;
  }
  const char* node = argv[1];
  Record("attr", LSQueryattr(On(node, "disk1"), "size"));
  Record("meth", LSQuerymeth(On(node, "disk1"), "do_size"));
  List("attrs", LSQueryattrs(On(node, "disk1")));
  List("meths", LSQuerymeths(On(node, "disk1")));
  ManagedObject* object = LSQueryobjs(On(node, "disk1"));
  printf("obj alias %s\n", object ? object->alias : "NULL");
  Print("obj attribute", object ? object->attributes : NULL, object != NULL);
  Print("obj method", object ? object->methods : NULL, 1);
  OTFreeObject(object);

  // The walk ends when no alias is left (NULL); a far node reports that
  // as a failed command, which is logged.
  char previous[600] = "";
  int steps = 0;
  for (char* alias;
       steps < 100 && (alias = LSQuerynext("all", On(node, previous))) != NULL;
       ++steps) {
    printf("next %s\n", alias);
    snprintf(previous, sizeof previous, "%s", alias);
  }
  failures += steps == 0;

  KeywordList* search = Pairs("Containment", node, "type", "disk");
  AliasList* aliases = LSgetaliases(search);
  DestroyKeywordList(search);
  if (aliases == NULL) Print("aliases", NULL, 0);
  for (AliasList* a = aliases; a != NULL; a = a->next)
    printf("aliases %s\n", a->alias);
  OTFreeAliasList(aliases);

  KeywordList* put = Pairs("size", "40", "type", "disk");
  int result = LSPut(On(node, "disk4"), put);
  DestroyKeywordList(put);
  printf("put %d\n", result);
  failures += result != 0;
  List("put attrs", LSQueryattrs(On(node, "disk4")));

  KeywordList* params = Pairs("blocks", "7", NULL, NULL);
  List("perform", RSPerform(On(node, "disk1"), "do_size", params));
  DestroyKeywordList(params);
  return failures == 0 ? 0 : 1;
}
