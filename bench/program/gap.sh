#!/usr/bin/env bash
# Track change gap: the silence between the end of one track and the start of
# the next in the null sink's recording, in repeat-all, for two WAV tones, two
# MP3 tones, and a WAV tone followed by a MIDI organ chord. Every track sounds
# from its first sample to its last, so any silence between two is the gap.
# A file's own silent edges (an MP3 encoder's delay and padding, a synth's
# attack) are measured by decoding it with gst-launch-1.0 and shown apart:
# "net" is the recorded gap less those edges, the player's own share. A gap
# runs from the end of one track's body (its sound of 0.25 s or more) to the
# start of the next one's, so an encoder's faint ringing at a file's edges
# counts as that file's edge.
# Usage: gap.sh BUILD_DIR [SECONDS_PER_RUN]
# shellcheck source=bench/program/bench.sh
source "$(dirname "$0")/bench.sh"
bench_init gap "$1"
seconds=${2:-13}
soundfont=$(readlink -f /usr/share/sounds/sf3/default-GM.sf3 2>/dev/null ||
    readlink -f /usr/share/sounds/sf2/default-GM.sf2)

rig_step "rig and 2 s tones"
bench_start_rig
m=$RIG_MEDIA
rig_make_wav "$m/a.wav" 2 440
rig_make_wav "$m/b.wav" 2 660
for t in a b; do
    gst-launch-1.0 -q filesrc location="$m/$t.wav" ! wavparse ! audioconvert ! \
        lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink location="$m/$t.mp3" ||
        rig_fail "cannot encode $t.mp3"
done
"$BENCH_PROBE" midi-tone "$m/c.mid" 2 || rig_fail "cannot write c.mid"

# edges FILE: sets LEAD and TRAIL, the file's own silence in ms when decoded.
edges() {
    local decoded="$RIG_DIR/decoded.wav" source
    case "$1" in
        *.mid) source=(filesrc location="$1" ! midiparse ! fluiddec soundfont="$soundfont" synth-gain=2.5) ;;
        *) source=(filesrc location="$1" ! decodebin) ;;
    esac
    gst-launch-1.0 -q "${source[@]}" ! audioconvert ! audioresample ! \
        audio/x-raw,format=S16LE,rate=44100,channels=2 ! wavenc ! filesink location="$decoded" ||
        rig_fail "cannot decode $1"
    local out
    out=$("$BENCH_PROBE" edges --record "$decoded") || rig_fail "cannot measure $1"
    LEAD=$(awk -F= '$1 == "lead_ms" { print $2 }' <<<"$out")
    TRAIL=$(awk -F= '$1 == "trail_ms" { print $2 }' <<<"$out")
    rig_log "$(basename "$1"): its own silence ${LEAD} ms at the start, ${TRAIL} ms at the end ($(awk -F= '$1 == "seconds" { print $2 }' <<<"$out") s)"
}

# run NAME FIRST SECOND LABEL_FIRST_TO_SECOND LABEL_SECOND_TO_FIRST GOAL_MS
run() {
    local name=$1 first=$2 second=$3
    edges "$first"
    local lead1=$LEAD trail1=$TRAIL
    edges "$second"
    local lead2=$LEAD trail2=$TRAIL
    rig_write_playlist "$first" "$second"
    rig_step "$name: $(basename "$first") and $(basename "$second") in repeat-all for ${seconds} s"
    bench_program
    bench_launch "melvane-$name" --play-seconds "$seconds"
    local from
    from=$(rig_plus "${B[sound_at_s]}" -0.01)
    "$BENCH_PROBE" gaps --record "$RIG_REC" --from "$from" >"$RIG_DIR/logs/gaps-$name.txt" ||
        rig_fail "cannot analyse the recording"
    bench_wait_quiet
    local -a forward=() backward=()
    local i=0 ms
    while read -r ms; do
        if ((i % 2 == 0)); then forward+=("$ms"); else backward+=("$ms"); fi
        i=$((i + 1))
    done < <(awk '$1 == "change" { sub("ms=", "", $3); print $3 }' "$RIG_DIR/logs/gaps-$name.txt")
    rig_log "tracks heard (s): $(awk '$1 == "track" { sub("length_ms=", "", $3); printf "%.3f ", $3 / 1000 }' "$RIG_DIR/logs/gaps-$name.txt")"
    [ "${#forward[@]}" -ge 2 ] || rig_fail "$name: fewer than 2 track changes were heard"
    rig_log "$4 gaps (ms): ${forward[*]}"
    rig_log "$5 gaps (ms): ${backward[*]}"
    local med max net worst
    for direction in 4 5; do
        local -a gaps
        if [ "$direction" = 4 ]; then
            gaps=("${forward[@]}") edge=$(bench_calc "$trail1 + $lead2" "%.2f")
        else
            gaps=("${backward[@]}") edge=$(bench_calc "$trail2 + $lead1" "%.2f")
        fi
        [ "${#gaps[@]}" -gt 0 ] || continue
        med=$(bench_median "${gaps[@]}")
        max=$(printf '%s\n' "${gaps[@]}" | sort -g | tail -n 1)
        net=$(bench_calc "$med - $edge" "%.1f")
        worst=$(bench_calc "$max - $edge" "%.1f")
        local goal=$6 label=${!direction}
        [ "$label" != "MIDI->WAV" ] || goal=30
        # Every change must meet the goal, so the worst one is judged.
        bench_row "gap $label (median, max of ${#gaps[@]})" "$med ms, max $max" \
            "files' own edges $edge ms" "<= $goal ms (net $net, max $worst)" \
            "$(bench_verdict "$worst" "<=" "$goal")"
    done
}

run wav "$m/a.wav" "$m/b.wav" "WAV->WAV" "WAV->WAV(b-a)" 30
run mp3 "$m/a.mp3" "$m/b.mp3" "MP3->MP3" "MP3->MP3(b-a)" 30
run midi "$m/a.wav" "$m/c.mid" "WAV->MIDI" "MIDI->WAV" 60
rig_done
