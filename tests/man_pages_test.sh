#!/bin/sh
# tests/man_pages_test.sh PROGRAM PAGE.gz [PROGRAM PAGE.gz ...]: each man page, as man
# shows it, keeps up with its program's --help. Every option --help names is in the page's
# OPTIONS, every environment variable in its ENVIRONMENT, every exit status in its EXIT
# STATUS; the page has EXAMPLES; groff renders it without a warning.
set -eu
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
page_failed=0
fail() { echo "FAIL: $*"; failed=1; page_failed=1; }

# The lines of section $2 (a heading at the left margin) of the rendered page $1.
section() {
  awk -v name="$2" '/^[A-Z]/ { inside = ($0 == name); next } inside' "$1"
}

# Whether section $3 of the rendered page $1 holds $2 as a word of its own.
holds() {
  section "$1" "$3" | grep -Eq -- "(^|[^[:alnum:]_-])$2([^[:alnum:]_-]|\$)"
}

while [ $# -ge 2 ]; do
  program=$1 page=$2
  shift 2
  page_failed=0
  name=$(basename "$program")
  "$program" --help > "$scratch/help"
  # Wide lines and no hyphenation, so that no word is broken; plain text.
  gzip -dc "$page" | groff -man -Tutf8 -ww -rHY=0 -rLL=200n -P-cbou > "$scratch/page" \
    2> "$scratch/warnings"
  [ -s "$scratch/warnings" ] && { cat "$scratch/warnings"; fail "$page: groff warns"; }

  options=$(grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' "$scratch/help" |
              sed 's/^[^-]*//' | sort -u)
  variables=$(grep -oE '\b[A-Z][A-Z0-9]*_[A-Z0-9_]+\b' "$scratch/help" | sort -u)
  statuses=$(sed -n '/^Exit status:/,$p' "$scratch/help" |
               grep -oE '(^|[:,] )[0-9]+ ' | tr -dc '0-9\n' | sort -u)
  [ -n "$options" ] && [ -n "$statuses" ] || fail "$name --help names no options or no exit status"

  for option in $options; do
    holds "$scratch/page" "$option" OPTIONS || fail "$page: OPTIONS lacks $option ($name --help has it)"
  done
  for variable in $variables; do
    holds "$scratch/page" "$variable" ENVIRONMENT ||
      fail "$page: ENVIRONMENT lacks $variable ($name --help names it)"
  done
  for status in $statuses; do
    section "$scratch/page" "EXIT STATUS" | grep -Eq "^ +$status( |\$)" ||
      fail "$page: EXIT STATUS lacks $status ($name --help gives it)"
  done
  section "$scratch/page" EXAMPLES | grep -q "$name" || fail "$page: no EXAMPLES of $name"
  [ $page_failed = 1 ] ||
    echo "ok: $page: options" $options"; variables" $variables"; exit statuses" $statuses
done
exit $failed
