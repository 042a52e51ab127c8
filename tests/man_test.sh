#!/bin/sh
# Formats every manual page in a directory with `man --warnings -l` and
# fails on any warning; also checks that each page's .TH line names the page
# as its file does, since the section directory it is installed in comes
# from the file name.
# Usage: man_test.sh <man program or empty> <page directory>
# Exits 77 (skipped) when there is no man program.
set -u
man=$1 dir=$2
if [ -z "$man" ] || [ ! -x "$man" ]; then
  echo "man_test: no man program (Debian: apt-get install man-db)"
  exit 77
fi
# One width and locale, so that the result does not depend on the terminal.
export MANWIDTH=80 LC_ALL=C.UTF-8
status=0 count=0
for page in "$dir"/*.[1-8]; do
  [ -f "$page" ] || continue
  count=$((count + 1))
  file=$(basename "$page")
  want_name=$(printf '%s' "${file%.*}" | tr '[:lower:]' '[:upper:]')
  want_section=${file##*.}
  set -- $(sed -n '1{s/^\.TH[ 	]*//p;}' "$page")
  if [ "${1:-}" != "$want_name" ] || [ "${2:-}" != "$want_section" ]; then
    echo "$file: first line must be .TH $want_name $want_section ..."
    status=1
  fi
  warnings=$("$man" --warnings -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    printf '%s:\n%s\n' "$file" "$warnings"
    status=1
  fi
  if [ -z "$("$man" -l "$page" 2>/dev/null)" ]; then
    echo "$file: formats to nothing"
    status=1
  fi
done
[ "$count" -gt 0 ] || { echo "man_test: no pages in $dir"; exit 1; }
[ "$status" = 0 ] && echo "man_test: $count pages format without warnings"
exit $status
