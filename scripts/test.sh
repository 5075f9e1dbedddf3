#!/bin/bash
# Installs what is missing, builds, and runs every test: the normal build, the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the threaded suites under ThreadSanitizer. Any failure or sanitizer report
# fails the run.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
jobs="$(nproc)"

# The code is kept as clang-format writes it; a file that is not fails the run.
(cd "$root" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror)

# The at daemon's suites run against the real daemon. When none runs, the test
# command starts one for the run, stops it at the end, and tells the suites:
# only then may they stop and restart it.
atd_pid() {
    local pid
    pid="$(cat /run/atd.pid 2>/dev/null)" && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = atd ] &&
        echo "$pid"
}
if ! atd_pid >/dev/null && [ -x /usr/sbin/atd ] && /usr/sbin/atd; then
    trap 'pid="$(atd_pid)" && kill "$pid" || true' EXIT
    for _ in $(seq 30); do atd_pid >/dev/null && break; sleep 0.1; done
    export KESTREL_TEST_ATD_STARTED=1
fi

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/scripts/sanitizers/tsan.supp"

run_suite() {
    local folder="$1"
    shift
    echo "== $folder"
    ctest --test-dir "$root/build/$folder" --output-on-failure -j "$jobs" "$@"
}

# Warnings are kept at zero: a build that has one fails.
"$root/scripts/build.sh" release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_WERROR=ON
run_suite release

"$root/scripts/build.sh" asan -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=address,undefined \
    -DKESTREL_BUILD_BENCH=OFF -DKESTREL_WERROR=ON
# The Debian package is tested once, on the release build.
run_suite asan -LE deb

"$root/scripts/build.sh" tsan -DCMAKE_BUILD_TYPE=Debug -DKESTREL_SANITIZE=thread \
    -DKESTREL_BUILD_BENCH=OFF -DKESTREL_THREADS_ONLY=ON -DKESTREL_WERROR=ON
run_suite tsan -L threads
