#!/usr/bin/env bash
# Builds the standard configurations (Debug, Release, RelWithDebInfo, tests
# on) with GCC and Clang, one after another, and prints a table of results
# with the number of compiler warnings each build printed. Not run by
# `make test`: it takes long (six full builds; ccache shortens repeats).
#
# usage: tools/build_matrix.sh [--werror] [--jobs N] [--test] [CONFIG...]
#   --werror  build with -DZOQ_WERROR=ON (a warning fails the build)
#   --jobs N  parallel compile jobs (default 2)
#   --test    also run the tests of each configuration (ctest)
#   CONFIG    compiler-type pairs to build, e.g. gcc-Release clang-Debug
#             (default: all six)
# Build folders: build/matrix/COMPILER-TYPE; logs beside them.
set -uo pipefail
cd "$(dirname "$0")/.."

werror=OFF
jobs=2
run_tests=0
configs=()
while [ $# -gt 0 ]; do
  case $1 in
    --werror) werror=ON ;;
    --jobs) jobs=$2; shift ;;
    --test) run_tests=1 ;;
    -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) configs+=("$1") ;;
  esac
  shift
done
if [ ${#configs[@]} -eq 0 ]; then
  for compiler in gcc clang; do
    for type in Debug Release RelWithDebInfo; do configs+=("$compiler-$type"); done
  done
fi

declare -A cc=([gcc]=gcc [clang]=clang)
declare -A cxx=([gcc]=g++ [clang]=clang++)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

results=()
failed=0
for config in "${configs[@]}"; do
  compiler=${config%%-*}
  type=${config#*-}
  if [ -z "${cxx[$compiler]:-}" ]; then
    echo "build_matrix: unknown compiler in $config (gcc or clang)" >&2
    exit 2
  fi
  dir=build/matrix/$config
  log=build/matrix/$config.log
  mkdir -p build/matrix
  start=$(date +%s)
  echo "== $config ($(${cxx[$compiler]} --version | head -1))"
  if CC=${cc[$compiler]} CXX=${cxx[$compiler]} cmake -S . -B "$dir" -G Ninja \
       -DCMAKE_BUILD_TYPE="$type" -DZOQ_BUILD_TESTS=ON -DZOQ_WERROR=$werror > "$log" 2>&1 &&
     cmake --build "$dir" -j "$jobs" >> "$log" 2>&1; then
    outcome=built
    if [ $run_tests -eq 1 ]; then
      if (cd "$dir" && ctest -j "$jobs" --output-on-failure >> "../$config.log" 2>&1); then
        outcome="built, tests pass"
      else
        outcome="built, TESTS FAIL"
        failed=1
      fi
    fi
  else
    outcome=FAILED
    failed=1
  fi
  warnings=$(grep -c 'warning:' "$log")
  minutes=$(( ($(date +%s) - start + 59) / 60 ))
  results+=("$(printf '%-22s %-20s %4s warnings  %3s min' "$config" "$outcome" "$warnings" "$minutes")")
  echo "${results[-1]}"
done

echo
echo "configuration          result               warnings  time   (logs in build/matrix/)"
printf '%s\n' "${results[@]}"
exit $failed
