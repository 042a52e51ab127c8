// Net aliases ("node:alias") and the exported locality tests.

#include <string.h>

#include "ls/ls_internal.h"
#include "platform/ot/ot.h"

namespace {

// Copies text into a kTextSize buffer; false when it would not fit.
bool CopyText(const char* text, char (&buffer)[ls::kTextSize]) {
  size_t n = strlen(text);
  if (n >= sizeof buffer) return false;
  memcpy(buffer, text, n + 1);
  return true;
}

}  // namespace

extern "C" {

KeywordList* LSParseNetalias(const char* netalias) {
  char copy[ls::kTextSize];
  if (netalias == nullptr || !CopyText(netalias, copy)) return nullptr;
  char* colon = strchr(copy, ':');
  if (colon == nullptr) return nullptr;
  KeywordList* list = CreateKeywordList();
  if (list == nullptr) return nullptr;
  *colon = '\0';
  // A split missing a pair (storage ran out) would name another object:
  // without "alias" a query asks for the node's first object.
  if (AddKeywordToList(list, "nodename", copy) != 0 ||
      AddKeywordToList(list, "alias", colon + 1) != 0) {
    DestroyKeywordList(list);
    return nullptr;
  }
  return list;
}

KeywordList* LSCreateNetalias(const char* nodename, const char* alias) {
  if (nodename == nullptr || alias == nullptr) return nullptr;
  const size_t node_len = strlen(nodename);
  const size_t alias_len = strlen(alias);
  char text[ls::kTextSize];
  if (node_len + 1 + alias_len >= sizeof text) return nullptr;
  memcpy(text, nodename, node_len);
  text[node_len] = ':';
  memcpy(text + node_len + 1, alias, alias_len + 1);
  KeywordList* list = CreateKeywordList();
  if (list == nullptr) return nullptr;
  if (AddKeywordToList(list, "netalias", text) != 0) {
    DestroyKeywordList(list);
    return nullptr;
  }
  return list;
}

int IsLocalAlias(const char* netalias) {
  // A text that names no other node is an alias of this node, however
  // long; NULL names no node either.  A text with a colon that is too long
  // to be a net alias names no object at all.
  if (netalias == nullptr || strchr(netalias, ':') == nullptr) return 1;
  if (strlen(netalias) >= ls::kTextSize) return 0;
  KeywordList* list = LSParseNetalias(netalias);
  if (list == nullptr) return 0;
  char keyword[ls::kKeywordSize];
  char value[ls::kTextSize];
  char node[ls::kTextSize] = "";
  char alias[ls::kTextSize] = "";
  int status;
  while ((status = GetNextKeywordFmList(list, keyword, value)) == 0) {
    if (strcmp(keyword, "nodename") == 0) {
      memcpy(node, value, strlen(value) + 1);
    } else if (strcmp(keyword, "alias") == 0) {
      memcpy(alias, value, strlen(value) + 1);
    } else {
      IOLog("LS.LSPut", 702, 2, "%s failed %s %s", "ParseNetalias", keyword,
            value);
    }
  }
  IOTrace(7, "LS.LSPut", "GetNextKeywordFmList returned %d\n", status);
  IOTrace(7, "LS.LSPut", "remote call to %s alias %s", node, alias);
  DestroyKeywordList(list);
  IOTrace(7, "LS.LSPut", "DestroyKeywordList");
  return is_local(node) == 1 ? 1 : 0;
}

int IsLocalSearch(KeywordList* search) {
  if (search == nullptr) return 1;
  char* keyword = nullptr;
  char* value = nullptr;
  int status = ReferenceKeywordInList(search, "Containment", &keyword, &value);
  if (status != 0) {
    if (status != SSPI_E_NOT_FOUND)
      OTerror("LSParse", "Error in ReferenceKeywordInList\n");
    return 1;
  }
  return is_local(value);
}

}  // extern "C"
