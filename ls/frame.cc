#include "ls/frame.h"

#include <string.h>

#include "platform/ot/ot.h"

namespace ls {
namespace {

void CopyInto(char (&buffer)[kTextSize], const char* text) {
  // Every text here came out of a net alias that fits the buffer.
  size_t n = strnlen(text, kTextSize - 1);
  memcpy(buffer, text, n);
  buffer[n] = '\0';
}

void ReadSplit(const char* component, KeywordList* list, NetTarget* target) {
  char keyword[kKeywordSize];
  char value[kTextSize];
  int status;
  while ((status = GetNextKeywordFmList(list, keyword, value)) == 0) {
    if (strcmp(keyword, "nodename") == 0) {
      CopyInto(target->node, value);
    } else if (strcmp(keyword, "alias") == 0) {
      CopyInto(target->alias, value);
    } else {
      IOLog(component, 702, 2, "%s failed %s %s", "ParseNetalias", keyword,
            value);
    }
  }
  target->split_status = status;
}

void TraceParameter(ParamStyle style, const char* component,
                    const char* keyword, const char* value) {
  if (style == ParamStyle::kBare) {
    IOTrace(7, component, "%s: %s=%s", component, keyword, value);
  } else {
    IOTrace(7, component, "%s: %s=\"%s\"", component, keyword, value);
  }
}

}  // namespace

bool SplitNetalias(const char* component, const char* netalias,
                   NetTarget* target) {
  *target = NetTarget();
  if (netalias == nullptr) {
    IOLog(component, 702, 2, "%s failed", "ParseNetalias");
    return false;
  }
  if (strlen(netalias) >= kTextSize) {
    LogTooLong(component, "net alias", kTextSize - 1);
    return false;
  }
  KeywordList* list = LSParseNetalias(netalias);
  if (list == nullptr) {
    // No list although there is a colon: the split itself failed.
    if (strchr(netalias, ':') != nullptr) {
      IOLog(component, 702, 2, "%s failed", "ParseNetalias");
      return false;
    }
    CopyInto(target->alias, netalias);
    return true;
  }
  target->has_node = true;
  ReadSplit(component, list, target);
  DestroyKeywordList(list);
  return true;
}

bool IsLocalTarget(const NetTarget& target) {
  return !target.has_node || is_local(target.node) == 1;
}

bool VerifyServer(const char* component, const char* node) {
  if (verify_node(node) == 1) return true;
  IOLog(component, 703, 4, "%s is unknown to the name/locations service",
        node);
  return false;
}

UniqueFile RunRemoteQuery(const RemoteQuery& query, const NetTarget& target,
                          const char* devtab, TempFile* file) {
  const char* component = query.component;
  if (!VerifyServer(component, target.node)) return nullptr;
  if (target.split_status != SSPI_E_END) {
    IOLog(component, 702, 2, "%s failed", "ParseNetalias");
    return nullptr;
  }
  if (!file->Make(kQueryTemplate)) {
    IOLog(component, 799, 4, "failed to make a temporary file %s",
          kQueryTemplate);
    return nullptr;
  }
  ShellLine command, line;
  if (!ComposeCommand(component, devtab, query.tool, query.words, &command)) {
    file->Remove();
    return nullptr;
  }
  IOTrace(7, component, "%s cmd: %s", component, command.c_str());
  if (!ComposeRemote(component, target.node, command, nullptr, file, &line)) {
    file->Remove();
    return nullptr;
  }
  IOTrace(7, component, "%s remote_cmd: %s", component, line.c_str());
  int status = RunLine(line);
  if (!RunSucceeded(status)) {
    LogRunFailure(query.run_component, status, line);
    file->Remove();
    return nullptr;
  }
  UniqueFile output = file->Open("r");
  if (output == nullptr) {
    IOLog(component, 799, 5, "failed to open temporary file %s", file->name());
    file->Remove();
  }
  return output;
}

bool WriteParameters(UniqueFile stream, KeywordList* list, ParamStyle style,
                     const char* component, const char* name) {
  char* keyword;
  char* value;
  bool ok = true;
  while (ok && list != nullptr &&
         ReferenceNextKeywordInList(list, &keyword, &value) == 0) {
    // Name the part that does not fit: a 40-byte keyword is not "longer
    // than 519 bytes".
    if (strlen(keyword) >= kKeywordSize) {
      LogTooLong(component, "parameter keyword", kKeywordSize - 1);
      ok = false;
      break;
    }
    if (strlen(value) >= kTextSize) {
      LogTooLong(component, "parameter value", kTextSize - 1);
      ok = false;
      break;
    }
    TraceParameter(style, component, keyword, value);
    if (style == ParamStyle::kBare) {
      fprintf(stream.get(), "%s=%s\n", keyword, value);
    } else {
      fprintf(stream.get(), "%s=\"%s\"\n", keyword, value);
    }
    if (style == ParamStyle::kQuotedTraced)
      IOTrace(7, component, "successfully put %s: %s=\"%s\"", component,
              keyword, value);
  }
  bool written = !ferror(stream.get());
  written = fclose(stream.release()) == 0 && written;
  if (ok && !written)
    IOLog(component, 799, 2, "failed to write temporary file %s", name);
  return ok && written;
}

void TraceEscaped(const char* component, const char* what) noexcept {
  IOTrace(7, component, "%s exception: %s", component, what);
}

}  // namespace ls
