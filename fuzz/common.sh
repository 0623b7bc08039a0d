# Sourced by run.sh and merge.sh, which both take BUILD_DIR [NUMBER] [TARGET...].
# zoq_fuzz_args DEFAULT_NUMBER "$@" sets `build`, `number` and `targets`
# (every target when none is named); `here` is this folder, whose corpus/
# holds the kept corpora.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

zoq_fuzz_args() {
  local default_number=$1
  shift
  build=${1:?build directory}
  number=${2:-$default_number}
  shift $(( $# >= 2 ? 2 : $# ))
  targets=("$@")
  if [ ${#targets[@]} -eq 0 ]; then
    targets=(package sxc_decode sxc_encode bsg_load stream_decorators path)
  fi
}
