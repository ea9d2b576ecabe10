#!/usr/bin/env bash
# Builds the project with AddressSanitizer + UndefinedBehaviorSanitizer
# (build-asan) and with ThreadSanitizer (build-tsan) and runs the tests under
# them: the whole suite under the first, the tests that start the station, the
# publisher or the window (ctest label "threads") under the second. Exits
# non-zero on any report not excused in tests/lsan.supp or tests/tsan.supp,
# and prints the program and the frames of each report.
#
#   scripts/sanitize.sh            # both
#   scripts/sanitize.sh asan|tsan  # one of them
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Debian installs the MQTT broker in /usr/sbin, which a plain user's PATH lacks.
export PATH="$PATH:/usr/sbin"
"$here/scripts/setup.sh" --packages

runs=("$@")
((${#runs[@]})) || runs=(asan tsan)
jobs="$(nproc)"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build() { # dir flags
  cmake -S "$here" -B "$here/$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPDMON_WERROR=ON \
    --no-warn-unused-cli "${launcher[@]}" "-DCMAKE_C_FLAGS=$2" "-DCMAKE_CXX_FLAGS=$2" \
    "-DCMAKE_EXE_LINKER_FLAGS=$2" "-DCMAKE_SHARED_LINKER_FLAGS=$2" >/dev/null
  cmake --build "$here/$1" -j"$jobs"
}

# Each sanitized process (the tests and the peers they start: kpv-sim,
# mqtt_station, spdmon) writes its reports to logs/report.<program>.<pid>.
failed=0
check() { # name dir ctest-arguments...
  local name="$1" dir="$here/$2"
  shift 2
  local logs="$dir/sanitizer-logs"
  rm -rf "$logs" && mkdir -p "$logs"
  local common="log_path=$logs/report:log_exe_name=1"
  local status=0
  (cd "$dir" && ASAN_OPTIONS="${ASAN_OPTIONS:-}:$common" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:$common" \
    TSAN_OPTIONS="${TSAN_OPTIONS:-}:$common" QT_QPA_PLATFORM=offscreen \
    ctest -j"$jobs" --output-on-failure "$@") || status=$?
  local reports=("$logs"/report.*)
  # A test may miss a time bound under a sanitizer on a loaded machine: one
  # more try for tests that failed without a report.
  if [[ ! -e "${reports[0]}" ]] && ((status != 0)); then
    echo "== $name: trying the failed tests once more"
    status=0
    (cd "$dir" && ASAN_OPTIONS="${ASAN_OPTIONS:-}:$common" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:$common" \
      TSAN_OPTIONS="${TSAN_OPTIONS:-}:$common" QT_QPA_PLATFORM=offscreen \
      ctest --rerun-failed --output-on-failure) || status=$?
    reports=("$logs"/report.*)
  fi
  if [[ -e "${reports[0]}" ]]; then
    failed=1
    echo "== $name: ${#reports[@]} report(s)"
    for report in "${reports[@]}"; do
      echo "---- ${report##*/report.}"
      # The heading of each report, its frames (where the project's own are
      # named with file and line), and its one-line summary.
      # (grep stops itself: head would end it by SIGPIPE, and pipefail the script.)
      grep -m 80 -E '^(WARNING|ERROR|SUMMARY|Direct leak|Indirect leak|  (Read|Write|Previous|Location|Mutex|Thread)|    #[0-9]+ |.*runtime error)' \
        "$report"
      echo "-- all its reports:"
      grep '^SUMMARY' "$report" | sort | uniq -c
    done
  elif ((status != 0)); then
    failed=1
    echo "== $name: tests failed without a sanitizer report (see their output above)"
  else
    echo "== $name: no reports"
  fi
}

for run in "${runs[@]}"; do
  case "$run" in
    asan)
      build build-asan "-fsanitize=address,undefined -fno-omit-frame-pointer"
      export ASAN_OPTIONS="detect_leaks=1"
      export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp print_suppressions=0"
      export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
      echo "HomeIsolationTest is left out: it runs AdminDialogsTest (run here) under strace," \
        "where the leak checker cannot attach to the threads it stops."
      check "AddressSanitizer + UndefinedBehaviorSanitizer" build-asan -E 'InstallTest|HomeIsolationTest' -LE long
      ;;
    tsan)
      build build-tsan "-fsanitize=thread"
      # Qt starts a process as vfork does; without this ThreadSanitizer stops
      # checking the thread that started it (see the file).
      fork="$here/build-tsan/tsan_real_fork.so"
      cc -shared -fPIC -O2 -Wall -Werror -o "$fork" "$here/scripts/tsan_real_fork.c" -ldl
      # Qt and libmosquitto are not instrumented: accesses inside them are
      # not seen. The tests start their peers after threads exist. A rule
      # names a frame of the earlier access, whose stack TSan restores from
      # its history: the longest it keeps.
      export TSAN_OPTIONS="suppressions=$here/tests/tsan.supp ignore_noninstrumented_modules=1 die_after_fork=0 history_size=7"
      LD_PRELOAD="$fork" check ThreadSanitizer build-tsan -L threads -LE long
      ;;
    *)
      echo "usage: $0 [asan|tsan]..." >&2
      exit 2
      ;;
  esac
done
exit "$failed"
