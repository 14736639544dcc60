#!/usr/bin/env bash
# Runs the built media benchmark: run.sh BUILD_DIR [--pulse] [benchmark options]
#   --pulse   play into a private PulseAudio null sink (autoaudiosink finds it)
#   other options go to the benchmark: --sink DESC, --seconds N, --opens N,
#   --repeats N
# Builds nothing. Without --pulse and without a sound server, pass
# --sink "fakesink sync=true" to keep real-time playback.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [--pulse] [--sink DESC] [--seconds N] [--opens N] [--repeats N]" >&2
  exit 2
fi
build=$1
shift
bench="$build/bin/melvane-bench-media"
if [ ! -x "$bench" ]; then
  echo "$0: $bench is not built" >&2
  exit 1
fi

pulse=0
if [ "${1:-}" = "--pulse" ]; then
  pulse=1
  shift
fi
if [ "$pulse" -eq 0 ]; then
  exec "$bench" "$@"
fi

runtime=$(mktemp -d /tmp/melvane-pulse-XXXXXX)
HOME=$runtime PULSE_RUNTIME_PATH=$runtime pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --system=false -L "module-null-sink sink_name=cap" \
  -L "module-native-protocol-unix socket=$runtime/native auth-anonymous=1" \
  >"$runtime/pulse.log" 2>&1 &
pulse_pid=$!
# shellcheck disable=SC2317  # runs from the EXIT trap
stop_pulse() {
  kill "$pulse_pid" 2>/dev/null || true
  wait "$pulse_pid" 2>/dev/null || true
  rm -rf "$runtime"
}
trap stop_pulse EXIT

for _ in $(seq 50); do
  [ -S "$runtime/native" ] && break
  sleep 0.1
done
if [ ! -S "$runtime/native" ]; then
  echo "$0: PulseAudio did not start:" >&2
  cat "$runtime/pulse.log" >&2
  exit 1
fi
echo "private PulseAudio null sink at $runtime/native"
status=0
PULSE_SERVER=unix:$runtime/native "$bench" "$@" || status=$?
exit "$status"
