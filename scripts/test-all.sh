#!/bin/bash
# Builds and tests every flavour: native Linux, the acceptance run with real
# clients against the server the run command installs and starts, Linux with
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build under Wine
# and the same acceptance run against it, the packages (Windows installer and
# portable zip under Wine, Linux archive) built and checked as a user gets
# them, a short run of every libFuzzer target, and the naming rules of
# CONTRIBUTING.md. Prints the summary per
# flavour; fails when any flavour fails.
# ORVI_FLAVOURS picks flavours.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="$(nproc)"
fuzz_seconds="${ORVI_FUZZ_SECONDS:-15}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The leak checker's runtime can crash reading the thread-local block of a
# plugin library a test has already unloaded. Our thread-local variables only
# point at objects owned elsewhere, so not scanning them hides no leak.
export LSAN_OPTIONS="${LSAN_OPTIONS:-use_tls=0}"

# The Windows acceptance run comes before the Windows test programs: run
# right after them, its host twice missed the request to exit (an
# interaction not yet understood; a run on its own has never shown it).
default_flavours="linux acceptance linux-asan acceptance-windows windows packages naming linux-fuzz"

declare -A results
declare -A took
status=0

build() {
  cmake --preset "$1" >"build-$1.configure.log" 2>&1 || { cat "build-$1.configure.log"; return 1; }
  rm -f "build-$1.configure.log"
  cmake --build --preset "$1" -j"$jobs"
}

flavour() {
  local preset="$1"
  echo
  echo "=== $preset ==="
  local rc
  case "$preset" in
    naming)
      # Needs the compile commands of the native and the Windows builds.
      scripts/check-naming.sh build/linux build/windows
      rc=$?
      if [ $rc -eq 0 ]; then results[$preset]="passed"; else results[$preset]="FAILED"; status=1; fi
      return
      ;;
    packages)
      # Packages from the linux and windows build folders, then their checks.
      tests/packages/run-package-tests.sh
      rc=$?
      if [ $rc -eq 0 ]; then results[$preset]="passed"; else results[$preset]="FAILED"; status=1; fi
      return
      ;;
    acceptance | acceptance-windows)
      # The run command builds and installs what it starts.
      if [ "$preset" = acceptance ]; then
        tests/acceptance/run-acceptance.sh
      else
        tests/acceptance/run-acceptance.sh --windows
      fi
      rc=$?
      if [ $rc -eq 0 ]; then results[$preset]="passed"; else results[$preset]="FAILED"; status=1; fi
      return
      ;;
  esac
  if ! build "$preset"; then
    results[$preset]="build failed"
    status=1
    return
  fi
  case "$preset" in
    windows)
      # One program at a time: the programs share one wineserver, and the GUI
      # and load tests starve one another of it when run side by side.
      scripts/wine-session.sh "build/$preset" ctest --preset "$preset"
      rc=$?
      ;;
    linux-fuzz)
      scripts/run-fuzzers.sh "build/$preset" "$fuzz_seconds"
      rc=$?
      ;;
    *)
      ctest --preset "$preset" -j"$jobs"
      rc=$?
      ;;
  esac
  if [ $rc -eq 0 ]; then results[$preset]="passed"; else results[$preset]="FAILED"; status=1; fi
}

# Each flavour's time, build included, in the summary: the whole run has a
# budget, and this says where it goes.
for preset in ${ORVI_FLAVOURS:-$default_flavours}; do
  started=$SECONDS
  flavour "$preset"
  took[$preset]=$((SECONDS - started))
done

echo
echo "=== summary ==="
for preset in ${ORVI_FLAVOURS:-$default_flavours}; do
  printf '%-18s %-12s %5s s\n' "$preset" "${results[$preset]:-not run}" "${took[$preset]:-0}"
done
exit $status
