#!/usr/bin/env bash
# Checks the English translation of the browser: lupdate is run over the
# sources into a copy of the .ts, and the test fails for any text without a
# finished translation, any translation whose source text is gone, and any
# translation whose %1..%9 placeholders differ from its source's.
# usage: translation_test.sh LUPDATE TS_FILE LUPDATE_ARGUMENTS...
set -euo pipefail
lupdate=$1
ts=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"
"$lupdate" "$@" -ts "$work/check.ts" >"$work/lupdate.log" 2>&1 || {
  cat "$work/lupdate.log"
  exit 1
}
awk -v RS='</message>' '
  function field(text, open_tag, close_tag,    start, rest) {
    start = index(text, open_tag)
    if (start == 0) return ""
    rest = substr(text, start + length(open_tag))
    return substr(rest, 1, index(rest, close_tag) - 1)
  }
  function marks(text,    out, i, list, n, sorted) {
    n = 0
    while (match(text, /%[1-9]/)) {
      list[++n] = substr(text, RSTART, 2)
      text = substr(text, RSTART + 2)
    }
    # Sorted and unique: the order may change in a translation.
    out = ""
    for (i = 1; i <= 9; ++i) {
      if (index(" " join(list, n) " ", " %" i " ")) out = out "%" i
    }
    return out
  }
  function join(list, n,    s, i) { s = ""; for (i = 1; i <= n; ++i) s = s " " list[i]; return s }
  /<message/ {
    source = field($0, "<source>", "</source>")
    if (match($0, /<translation[^>]*>/) == 0) { print "no translation: " source; bad++; next }
    head = substr($0, RSTART, RLENGTH)
    translation = field(substr($0, RSTART), head, "</translation>")
    total++
    if (head ~ /unfinished/) { print "unfinished: " source; bad++ }
    else if (head ~ /vanished|obsolete/) { print "source text gone: " source; bad++ }
    else if (translation == "") { print "empty translation: " source; bad++ }
    else if (marks(source) != marks(translation)) {
      print "placeholders differ: " source " -> " translation; bad++
    }
  }
  END {
    if (total == 0) { print "no texts found"; exit 1 }
    printf "%d texts, %d without a sound translation\n", total, bad
    if (bad > 0) {
      print "Run \"ninja -C BUILD zoq_lupdate\", then give each unfinished text of"
      print "translations/zoq_explorer_en.ts its English (and remove the type=\"unfinished\" mark)."
    }
    exit bad > 0
  }
' "$work/check.ts"
