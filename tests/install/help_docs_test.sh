#!/usr/bin/env bash
# The bash completion and zoq(1) made from zoq's help texts, checked against
# the tool: the completion offers exactly its commands, every option its help
# shows, values and paths inside a package; the man page has a section for
# every command and formats without warnings.
#
# usage: help_docs_test.sh ZOQ COMPLETION MAN_PAGE...
set -uo pipefail
zoq=$(realpath "$1")
completion=$(realpath "$2")
shift 2
pages=()
for page in "$@"; do pages+=("$(realpath "$page")"); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

fail() {
  echo "FAIL: $*" >&2
  status=1
}

# Runs the completion for a command line whose last word is being typed and
# prints the candidates, sorted.
complete_line() {
  COMP_WORDS=("$zoq" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _zoq
  [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
  local wanted=$1
  shift
  local got
  got=$(complete_line "$@" | tr '\n' ' ')
  [ "$got" = "$wanted" ] || fail "completing \"zoq $*\": got \"$got\", expected \"$wanted\""
}

# shellcheck source=/dev/null
source "$completion"

commands=$("$zoq" help | awk '/^Commands:/ { listing = 1; next }
  listing && /^  [a-z]/ { print $1; next }
  listing { listing = 0 }' | sort)
[ -n "$commands" ] || fail "no commands in \"zoq help\""
offered=$(complete_line "" | grep -vx -e help -e --help -e --version)
expect "--version " --v
[ "$offered" = "$commands" ] || fail "commands offered: $(echo $offered), zoq help lists: $(echo $commands)"
[ "$(complete_line help "" | tr '\n' ' ')" = "$(echo $commands) " ] || fail "\"zoq help\" completes other words"

# Every option written in a command's usage or option lines is offered.
for command in $commands; do
  options=$(complete_line "$command" -)
  "$zoq" help "$command" | awk '/^usage:/ || /^ / && !seen_blank { print; next } /^$/ { seen_blank = 1 }
    /^  -/ { print }' | grep -oE '(^|[][ |,])--?[a-z][a-z0-9-]*' | tr -d '[]|, ' | sort -u |
    while read -r option; do
      grep -qx -- "$option" <<< "$options" || fail "zoq $command: $option is not offered"
    done
done

# Values and paths inside a package.
cd "$work" || exit 1
echo text > file.txt
"$zoq" create doc.zoq
"$zoq" commit doc.zoq --add /Pages/page1.xml=file.txt --add /Pages/page2.xml=file.txt \
  --add "/Parts list.txt=file.txt" > /dev/null
expect "/Pages/ " cat doc.zoq /Pag
expect "/Pages/page1.xml /Pages/page2.xml " cat --raw doc.zoq /Pages/
expect "/Pages/ /Parts\\ list.txt " extract -d out doc.zoq /Pages/page1.xml /P
expect "Pages/page1.xml Pages/page2.xml " rm doc.zoq Pages/p
expect "2 4 8 " create --width ""
expect "" cat -r ""
expect "decode encode " sxc ""

# The man pages.
for page in "${pages[@]}"; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
for command in $commands; do
  grep -qx ".SS $command" "${pages[0]}" || fail "${pages[0]} has no section for $command"
done
exit $status
