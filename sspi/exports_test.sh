#!/bin/sh
# Checks that libsspi.so exports exactly its public names: no C++ internals.
# Usage: exports_test.sh <path to libsspi.so>
set -eu
lib=$1
tmp=$(mktemp -d "${TMPDIR:-/tmp}/sspi_exports.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
printf '%s\n' AddKeywordListToList AddKeywordToList AddValueToList \
  CreateKeywordList DestroyKeywordList DisplayKeywordList DumpKeywordList \
  DuplicateKeywordList GetKeyword GetKeywordFmList GetNextKeywordFmList \
  KeywordListToStream KeywordStreamToList NumberOfKeywords \
  ReferenceKeywordInList ReferenceNextKeywordInList \
  RemoveDuplicateKeywordFmList RemoveKeywordFmList SSPItrace \
  UpdateKeywordInList ValidKeywordList sspi_argv sspi_errno \
  sspi_explicit_level sspi_output_stream sspi_verbose_level | sort >"$tmp/want"
# AddressSanitizer adds an ODR indicator (__odr_asan.<name>) for each
# exported variable; it belongs to the sanitizer, not to the interface.
nm -D --defined-only "$lib" | awk '{print $3}' |
  grep -v -E '^__(odr_asan|asan|ubsan|sanitizer)' | sort >"$tmp/have"
if ! diff -u "$tmp/want" "$tmp/have"; then
  echo "libsspi.so exports differ from the public interface (- missing, + extra)"
  exit 1
fi
echo "libsspi.so exports exactly its $(wc -l <"$tmp/want") public names"
