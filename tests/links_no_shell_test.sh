#!/bin/sh
# tests/links_no_shell_test.sh PROGRAM SHELL_PROGRAM LIBRARY...: PROGRAM (the optimised
# veldra-file) defines none of the global symbols that the LIBRARY archives' own object
# files define (app/ and platform/windows); SHELL_PROGRAM (veldra, which is the shell)
# defines some, which shows that the comparison finds them where they are.
set -eu
program=$1
shell_program=$2
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The strong global symbols a file defines (code, data, read-only data), one a line:
# inline functions and templates (weak) may be defined by any library that uses them.
strong() { nm --defined-only -g "$@" 2>/dev/null | awk 'NF == 3 && $2 ~ /^[TDBR]$/ { print $3 }'; }

for library in "$@"; do
  [ -f "$library" ] || { echo "FAIL: no library $library"; exit 1; }
done
strong "$@" | sort -u > "$scratch/library"
[ -s "$scratch/library" ] || { echo "FAIL: the libraries define no symbol"; exit 1; }

# linked FILE: the library symbols FILE defines.
linked() { strong "$1" | sort -u | comm -12 - "$scratch/library"; }

[ -n "$(strong "$program")" ] || { echo "FAIL: $program has no symbol table to read"; exit 1; }
linked "$shell_program" > "$scratch/shell"
[ -s "$scratch/shell" ] || {
  echo "FAIL: $shell_program defines none of the libraries' symbols: the comparison misses"; exit 1; }
echo "ok: $(wc -l < "$scratch/shell") of the libraries' symbols found in $(basename "$shell_program")"

linked "$program" > "$scratch/linked"
if [ -s "$scratch/linked" ]; then
  echo "FAIL: $(basename "$program") links $(wc -l < "$scratch/linked") symbols of the shell or the window system:"
  c++filt < "$scratch/linked" | head -20
  exit 1
fi
echo "ok: $(basename "$program") defines none of the $(wc -l < "$scratch/library") symbols"
