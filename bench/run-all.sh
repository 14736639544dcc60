#!/usr/bin/env bash
# Runs every benchmark against a built tree and prints each figure beside its
# baseline and goal, then the whole table once more at the end.
# Usage: bench/run-all.sh BUILD_DIR [NAME...]
#   NAME: startup playing idle gap endurance media (default: all of them)
# Needs the targets melvane, melvane-maketunes, melvane-bench-probe,
# melvane-bench-bare-tray, melvane-bench-late-play, melvane-bench-endurance and
# melvane-bench-media.
# Takes about 45 minutes (media alone about 20); the machine should be
# otherwise quiet.
set -uo pipefail

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 BUILD_DIR [startup|playing|idle|gap|endurance|media ...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(startup playing idle gap endurance media)

results=$(mktemp /tmp/melvane-bench-results.XXXXXX)
trap 'rm -f "$results"' EXIT
status=0

row() {
    printf 'RESULT | %-44s | %-18s | %-26s | %-28s | %-4s |\n' "$@"
}

# endurance [--no-midi]: the one-process endurance run, with its rows.
endurance() {
    local out key value label=${1:+, no MIDI}
    out=$(mktemp /tmp/melvane-bench-endurance.XXXXXX)
    QT_QPA_PLATFORM=offscreen "$build/bin/melvane-bench-endurance" "$@" | tee "$out"
    local code=${PIPESTATUS[0]}
    declare -A E=()
    while IFS='=' read -r key value; do
        [[ "$key" =~ ^[a-z_]+$ ]] && E[$key]=$value
    done <"$out"
    rm -f "$out"
    if [ "$code" -ne 0 ] || [ -z "${E[rss_after_kb]:-}" ]; then
        echo "endurance: failed (status $code)" >&2
        return 1
    fi
    local grown=$((E[rss_after_kb] - E[rss_before_kb]))
    local first=$((E[rss_before_kb] - E[rss_first_kb]))
    row "endurance$label: RSS growth, 2nd round" "$grown kB" "before ${E[rss_before_kb]} kB" \
        "< 1024 kB" "$([ "$grown" -lt 1024 ] && echo yes || echo NO)"
    row "endurance$label: RSS growth, 1st round" "$first kB" "before ${E[rss_first_kb]} kB" \
        "(heap settling, for reference)" "-"
    row "endurance$label: open descriptors" "${E[fds_after]} after" "${E[fds_before]} before" \
        "no leak" "$([ "${E[fds_after]}" -le "${E[fds_before]}" ] && echo yes || echo NO)"
}

run_one() {
    case "$1" in
        startup) bash "$here/program/startup.sh" "$build" 7 &&
            bash "$here/program/late_play.sh" "$build" 5 1000 ;;
        playing) bash "$here/program/playing.sh" "$build" 60 3 ;;
        idle) bash "$here/program/idle.sh" "$build" 60 ;;
        gap) bash "$here/program/gap.sh" "$build" 21 ;;
        endurance) endurance && endurance --no-midi ;;
        media) bash "$here/media/run.sh" "$build" --pulse --seconds 60 ;;
        *)
            echo "unknown benchmark: $1" >&2
            return 2
            ;;
    esac
}

# The rig keeps its screenshots and failure logs under the current folder.
cd "$build" || exit 1
log=$(mktemp /tmp/melvane-bench-log.XXXXXX)
trap 'rm -f "$results" "$log"' EXIT
for name in "${names[@]}"; do
    echo
    echo "==== $name"
    run_one "$name" 2>&1 | tee "$log"
    if [ "${PIPESTATUS[0]}" -ne 0 ]; then
        echo "==== $name FAILED"
        row "$name" "FAILED" "-" "-" "NO" >>"$results"
        status=1
    fi
    grep '^RESULT' "$log" >>"$results"
done

echo
echo "==== all figures (the media layer's own table is above, under ==== media)"
printf 'RESULT | %-44s | %-18s | %-26s | %-28s | %-4s |\n' figure measured baseline goal met
cat "$results"
exit "$status"
