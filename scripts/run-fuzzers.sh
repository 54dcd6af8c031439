#!/bin/bash
# Runs every libFuzzer target of a fuzz build for a bounded time.
#   run-fuzzers.sh <fuzz-build-dir> [seconds-per-target, default 20]
# Each <name>_fuzz in <dir>/bin starts from a scratch copy of
# tests/fuzz/corpus/<name>/, so the committed corpus is never changed. Crash
# inputs are kept in <dir>/fuzz-artifacts/<name>/. Fails if any target fails.
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <fuzz-build-dir> [seconds-per-target]" >&2
  exit 2
fi
build="$(realpath "$1")"
seconds="${2:-20}"
case "$seconds" in
  '' | *[!0-9]*) echo "seconds must be a whole number: $seconds" >&2; exit 2 ;;
esac
source_dir="$(cd "$(dirname "$0")/.." && pwd)"

shopt -s nullglob
targets=("$build"/bin/*_fuzz)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no *_fuzz executables in $build/bin" >&2
  exit 1
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/orvi-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# One target per processor at a time: each is single-threaded, and the test
# run has a time budget.
parallel="${ORVI_FUZZ_JOBS:-$(nproc)}"

run_target() {
  local target="$1" name corpus artifacts
  name="$(basename "$target")"
  name="${name%_fuzz}"
  corpus="$work/corpus-$name"
  mkdir -p "$corpus"
  if [ -d "$source_dir/tests/fuzz/corpus/$name" ]; then
    cp -R "$source_dir/tests/fuzz/corpus/$name/." "$corpus/"
  else
    echo "warning: no seed corpus for $name" >&2
  fi
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$artifacts"
  if "$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" >"$work/$name.log" 2>&1; then
    echo "== ${name}_fuzz for ${seconds}s: $(grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)' \
      "$work/$name.log" | tail -1)"
  else
    {
      echo "FAILED: ${name}_fuzz (artifacts in $artifacts)"
      tail -40 "$work/$name.log"
    } >&2
    touch "$work/$name.failed"
  fi
}

for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
    wait -n
  done
  run_target "$target" &
done
wait

failed=()
for mark in "$work"/*.failed; do
  name="$(basename "$mark")"
  failed+=("${name%.failed}")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: ${failed[*]}" >&2
  exit 1
fi
echo "all fuzz targets passed"
