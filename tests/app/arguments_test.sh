#!/usr/bin/env bash
# The browser's command line: --help and --version print and exit 0; more
# than one package or an unknown option exit 1 with a message, before any
# window opens (a run that opened one would not end: the test's timeout).
#
# usage: arguments_test.sh ZOQ_EXPLORER VERSION
set -uo pipefail
program=$1
version=$2
export QT_QPA_PLATFORM=offscreen ZOQ_LANG=zh
status=0

# check EXPECTED_STATUS PATTERN ARGS...: the run's status and its output
# (standard output and error together) matching the extended regex PATTERN.
check() {
  local expected=$1 pattern=$2
  shift 2
  local out code
  out=$("$program" "$@" 2>&1)
  code=$?
  if [ "$code" != "$expected" ] || ! grep -qE -- "$pattern" <<< "$out"; then
    echo "FAIL: zoq-explorer $*: status $code (expected $expected), output:" >&2
    echo "$out" >&2
    status=1
  fi
}

check 0 "^zoq-explorer ${version//./\\.}\$" --version
check 0 "PACKAGE +启动时打开的包" --help
check 1 "zoq-explorer: 只能打开一个包" one.zoq two.zoq
check 1 "bogus" --bogus
exit $status
