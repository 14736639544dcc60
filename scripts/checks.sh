#!/usr/bin/env bash
# Every check CI runs, as steps (scripts/test.sh runs this after install-deps.sh):
#   format     clang-format (the repo's .clang-format) on every tracked C++ file
#   shell      shellcheck on every tracked shell script, following sourced files
#   build      the ci preset: warnings are errors, the skin tool built
#   tests      every test but the end-to-end scenarios, skin drift included
#   e2e        the end-to-end scenarios
#   sanitizers the asan preset's build, and every test but the end-to-end
#              scenarios and the install checks under ASan+UBSan: any report
#              fails its test; leaks are reported except those of the
#              third-party libraries listed in tests/sanitizers/lsan.supp
#   fuzz       each libFuzzer target for MELVANE_FUZZ_SECONDS (60) on a copy of
#              its seed corpus; a crashing input is kept under build/fuzz/crashes
# The two cheap checks come first, so that a format slip shows at once. Every
# step runs; the script ends with the time each took and fails if any failed.
# Steps can be picked by name: bash scripts/checks.sh format shell
set -uo pipefail
cd "$(dirname "$0")/.."

JOBS=$(nproc)
FUZZ_SECONDS=${MELVANE_FUZZ_SECONDS:-60}

check_format() {
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
}

check_shell() {
    # .shellcheckrc looks for sourced files beside the script that sources them.
    git ls-files -z '*.sh' .ci/run | xargs -0 shellcheck -x
}

check_build() {
    cmake --preset ci >/dev/null
    cmake --build --preset ci -j"$JOBS"
}

check_tests() {
    ctest --preset ci -LE e2e -j"$JOBS"
    # The skin drift test skips where its font is missing; install-deps.sh
    # installs the font, so here a skip would hide the check.
    grep -qx '\[       OK \] CommittedSkin.MatchesWhatTheGeneratorDraws ([0-9]* ms)' \
        build/ci/Testing/Temporary/LastTest.log || {
        echo "the skin drift test did not pass (skipped?)" >&2
        return 1
    }
}

# The scenarios drive real X, D-Bus and sound servers on a shared machine: one
# that fails is run once more, and fails the step only if it fails again.
check_e2e() {
    ctest --preset ci -L e2e --repeat until-pass:2
}

check_sanitizers() {
    cmake --preset asan >/dev/null
    cmake --build --preset asan -j"$JOBS"
    # The install checks run validators on installed files, none of our code.
    # One test at a time: the sanitizers slow everything several times over,
    # and the media tests' bounds are for one test's load.
    ctest --preset asan -E '^desktop_entry\.'
}

# fuzz_target NAME CORPUS [libFuzzer option...]: runs build/fuzz/bin/NAME on a
# fresh copy of fuzz/corpus/CORPUS, logging to build/fuzz/NAME.log.
fuzz_target() {
    local name=$1 corpus=$2 status=0
    shift 2
    # The target works in a folder of its own: the crash folder's path is absolute.
    local work="build/fuzz/corpus/$corpus" crashes="build/fuzz/crashes/$name"
    rm -rf "$work" "$crashes"
    mkdir -p "$work" "$crashes"
    cp -R "fuzz/corpus/$corpus/." "$work/"
    "build/fuzz/bin/$name" -max_total_time="$FUZZ_SECONDS" -timeout=30 \
        -artifact_prefix="$PWD/$crashes/" "$@" "$work" >"build/fuzz/$name.log" 2>&1 || status=$?
    tail -n 1 "build/fuzz/$name.log" | sed "s|^|$name: |"
    if [ "$status" -ne 0 ] || [ -n "$(ls -A "$crashes")" ]; then
        echo "$name failed (status $status); its log is build/fuzz/$name.log, the input:"
        grep -E 'Test unit written to|^SUMMARY' "build/fuzz/$name.log" || true
        ls -1 "$crashes"/* 2>/dev/null || true
        return 1
    fi
}

check_fuzz() {
    cmake -S . -B build/fuzz -G Ninja -DMELVANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
        -DMELVANE_BUILD_TESTS=OFF -DMELVANE_BUILD_BENCH=OFF -DMELVANE_WERROR=ON >/dev/null &&
        cmake --build build/fuzz -j"$JOBS" --target melvane-fuzz-playlist melvane-fuzz-exec-quoting ||
        return 1
    # The two share the machine's cores, one each.
    local status=0 playlist exec_quoting
    fuzz_target melvane-fuzz-playlist playlist -max_len=20000 &
    playlist=$!
    fuzz_target melvane-fuzz-exec-quoting exec_quoting &
    exec_quoting=$!
    wait "$playlist" || status=1
    wait "$exec_quoting" || status=1
    return "$status"
}

all_steps=(format shell build tests e2e sanitizers fuzz)
steps=("${all_steps[@]}")
[ "$#" -eq 0 ] || steps=("$@")
failed=()
summary=()
for step in "${steps[@]}"; do
    if ! declare -F "check_$step" >/dev/null; then
        echo "checks: no step named '$step' (there are: ${all_steps[*]})" >&2
        exit 2
    fi
    echo "== $step"
    start=$SECONDS
    # A subshell with -e of its own: a step stops at its first failing command,
    # and the next step still runs.
    (
        set -e
        "check_$step"
    )
    status=$?
    took=$((SECONDS - start))
    if [ "$status" -eq 0 ]; then
        result=passed
    else
        result=FAILED
        failed+=("$step")
    fi
    summary+=("$(printf '%-11s %-7s %4d s' "$step" "$result" "$took")")
    echo "== $step: $result in $took s"
done

echo "== checks:"
printf '   %s\n' "${summary[@]}"
if [ "${#failed[@]}" -ne 0 ]; then
    echo "checks: FAILED: ${failed[*]}" >&2
    exit 1
fi
