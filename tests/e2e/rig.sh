# shellcheck shell=bash
# Shared helpers of the end-to-end scenarios; each scenario script sources this
# file. A scenario runs the real program, copied into a folder of its own, on a
# private X display with a tray host and a private PulseAudio whose null sink
# is recorded, drives it with xdotool and checks windows, pixels, files and
# sound. Every process the rig starts is a child of the scenario's shell and is
# stopped by its PID, and waited for, when the script ends, however it ends.
#
# Usage in a scenario:
#   source "$(dirname "$0")/rig.sh"
#   rig_init NAME "$1" "$2"        # melvane binary, melvane-maketunes binary
#   rig_setup trayer               # display, tray host, sound, tunes, playlist
#   rig_start_playing              # the program, its tray icon, its first sound
#   ... checks ...
#   rig_done

# shellcheck disable=SC2034  # RIG_* results are read by the scenarios
set -euo pipefail

# Sound is recorded as s16le, 44100 Hz, stereo: 176400 bytes a second.
readonly RIG_RATE=44100
readonly RIG_BYTES_PER_SECOND=176400
# The demo tunes and the rig's test tones reach an RMS amplitude of 0.1-0.2 in
# the monitor; a stopped or idle sink gives exact zeros.
readonly RIG_SOUND_RMS=0.02
readonly RIG_SILENCE_RMS=0.001

RIG_SOURCE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
RIG_PIDS=()
declare -A RIG_PID_NAMES=()
declare -A RIG_PID_STARTS=()
declare -A RIG_REAPED=()
RIG_APP_PID=""
RIG_BUS_ADDRESS=""
RIG_BUS_DAEMON_PID=""
RIG_X_STARTED=0

rig_log() { printf '[%s] %s\n' "$RIG_SCENARIO" "$*"; }
rig_step() { printf '[%s] -- %s\n' "$RIG_SCENARIO" "$*"; }
rig_ok() { printf '[%s]    ok: %s\n' "$RIG_SCENARIO" "$*"; }

# Reports the failure, keeps a screenshot and the logs, and ends the scenario;
# the EXIT trap then stops everything.
rig_fail() {
    printf '[%s] FAIL: %s\n' "$RIG_SCENARIO" "$*" >&2
    if [ "$RIG_X_STARTED" = 1 ]; then
        rig_shot failure >/dev/null 2>&1 || true
    fi
    exit 1
}

# ---- set-up ----------------------------------------------------------------

# rig_require TOOL...: fails the scenario unless every tool is installed.
rig_require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null ||
            rig_fail "'$tool' is not installed (scripts/install-deps.sh installs it)"
    done
}

# rig_init NAME MELVANE MAKETUNES
rig_init() {
    RIG_SCENARIO=$1
    RIG_MELVANE=$2
    RIG_MAKETUNES=$3
    rig_require Xvfb trayer xdotool xwininfo xprop xdpyinfo import convert compare identify sox \
        pulseaudio pactl parec desktop-file-validate ps timeout
    [ -x "$RIG_MELVANE" ] || rig_fail "no program at '$RIG_MELVANE'"
    [ -x "$RIG_MAKETUNES" ] || rig_fail "no melvane-maketunes at '$RIG_MAKETUNES'"

    RIG_SHOTS="$PWD/e2e-shots/$RIG_SCENARIO"
    rm -rf "$RIG_SHOTS"
    mkdir -p "$RIG_SHOTS"
    # Short, because the sound server's socket path must stay under 108 bytes.
    RIG_DIR=$(mktemp -d /tmp/melvane-e2e.XXXXXX)
    trap rig_cleanup EXIT
    # Name the command that ended the scenario unexpectedly (only in the
    # script's own shell: a command substitution's output must stay clean).
    set -E
    trap '[ "$BASH_SUBSHELL" != 0 ] || rig_log "stopped by a failing command (status $?): $BASH_COMMAND" >&2' ERR
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM

    RIG_HOME="$RIG_DIR/home"
    RIG_CONFIG="$RIG_DIR/config"
    RIG_RUNTIME="$RIG_DIR/runtime"
    RIG_MEDIA="$RIG_DIR/media"
    RIG_PULSE_DIR="$RIG_DIR/pulse"
    RIG_REC="$RIG_DIR/monitor.raw"
    mkdir -p "$RIG_HOME" "$RIG_CONFIG" "$RIG_RUNTIME" "$RIG_MEDIA" "$RIG_PULSE_DIR" \
        "$RIG_DIR/app" "$RIG_DIR/logs"
    chmod 0700 "$RIG_RUNTIME" "$RIG_PULSE_DIR"
    RIG_APP="$RIG_DIR/app/melvane"
    RIG_PLAYLIST="$RIG_DIR/app/Music.mus"
    RIG_AUTOSTART="$RIG_CONFIG/autostart/DefName.desktop"
    # A bus address that leads nowhere: Qt then uses the XEmbed tray, and
    # nothing autolaunches a session bus that would outlive the scenario.
    RIG_NO_BUS="unix:path=$RIG_DIR/no-session-bus"
    RIG_BUS_ADDRESS=$RIG_NO_BUS
    export DBUS_SESSION_BUS_ADDRESS=$RIG_NO_BUS
    unset DISPLAY
    cd "$RIG_DIR"
    rig_log "working in $RIG_DIR; screenshots in $RIG_SHOTS"
}

# Sets RIG_ENV to the command prefix that gives a program the rig's
# environment and nothing from the developer's or CI's session. Programs are
# started as "${RIG_ENV[@]}" PROGRAM ... & so that each is a direct child of
# the script, with the PID that $! reports. No accessibility bridge and no
# dconf: on a private session bus, GTK tray hosts would otherwise have the
# bus start services that slow them down or outlive the scenario.
rig_env() {
    RIG_ENV=(env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$RIG_HOME"
        NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
        XDG_CONFIG_HOME="$RIG_CONFIG" XDG_RUNTIME_DIR="$RIG_RUNTIME"
        XDG_CACHE_HOME="$RIG_HOME/.cache" XDG_DATA_HOME="$RIG_HOME/.local/share"
        DBUS_SESSION_BUS_ADDRESS="$RIG_BUS_ADDRESS")
    if [ -n "${DISPLAY:-}" ]; then
        RIG_ENV+=(DISPLAY="$DISPLAY")
    fi
    # A scenario that plays a given desktop sets RIG_DESKTOP before starting
    # anything; the others run with no desktop named at all.
    if [ -n "${RIG_DESKTOP:-}" ]; then
        RIG_ENV+=(XDG_CURRENT_DESKTOP="$RIG_DESKTOP")
    fi
    # Under the rig's Wayland desktop, as in a Wayland session, every program
    # is told where the compositor is; the tray hosts stay on XWayland.
    if [ -n "${RIG_WAYLAND_DISPLAY:-}" ]; then
        RIG_ENV+=(WAYLAND_DISPLAY="$RIG_WAYLAND_DISPLAY" GDK_BACKEND=x11)
    fi
}

# The same for clients of the rig's sound server.
rig_pulse_env() {
    RIG_ENV=(env -i PATH=/usr/bin:/bin HOME="$RIG_HOME" PULSE_SERVER="unix:$RIG_PULSE_DIR/native"
        DBUS_SESSION_BUS_ADDRESS="$RIG_NO_BUS")
}

# The fields of /proc/PID/stat after the command name: state first, then
# the parent; the start time is the 20th.
rig_pid_fields() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    echo "${stat##*) }"
}

rig_pid_start_time() {
    local fields
    fields=$(rig_pid_fields "$1") || return 1
    cut -d' ' -f20 <<<"$fields"
}

rig_track() {
    RIG_PIDS+=("$1")
    RIG_PID_NAMES[$1]=$2
    RIG_PID_STARTS[$1]=$(rig_pid_start_time "$1" || echo gone)
}

# True while the process exists and has not ended (an ended child stays a
# zombie until it is waited for).
rig_pid_alive() {
    local fields
    fields=$(rig_pid_fields "$1") || return 1
    [ "${fields%% *}" != Z ]
}

# True while the PID still names the process the rig started (a PID can be
# reused once its process is gone).
rig_pid_still_ours() {
    [ "$(rig_pid_start_time "$1" 2>/dev/null)" = "${RIG_PID_STARTS[$1]}" ]
}

# Every process below the given ones, from the process table.
rig_descendants() {
    ps -e -o pid= -o ppid= | awk -v roots="$*" '
        BEGIN { n = split(roots, r, " "); for (i = 1; i <= n; i++) seen[r[i]] = 1 }
        { parent[$1] = $2 }
        END {
            do {
                grown = 0
                for (p in parent) if (!(p in seen) && (parent[p] in seen)) { seen[p] = 1; grown = 1; print p }
            } while (grown)
        }'
}

# rig_terminate PID NAME: SIGTERM, five seconds to end, then SIGKILL; fails
# when the process could not be signalled at all.
rig_terminate() {
    local i
    kill -TERM "$1" 2>/dev/null || return 1
    for i in $(seq 50); do
        rig_pid_alive "$1" || return 0
        sleep 0.1
    done
    rig_log "$2 ($1) ignored SIGTERM; killing it"
    kill -KILL "$1" 2>/dev/null || true
}

rig_stop_pid() {
    local pid=$1
    [ -z "${RIG_REAPED[$pid]:-}" ] || return 0
    if rig_pid_still_ours "$pid" && rig_pid_alive "$pid"; then
        rig_terminate "$pid" "${RIG_PID_NAMES[$pid]}" || true
    fi
    wait "$pid" 2>/dev/null || true
    RIG_REAPED[$pid]=1
}

rig_cleanup() {
    local status=$? pid i leftovers=()
    trap - EXIT ERR
    set +e
    local descendants=""
    if [ "${#RIG_PIDS[@]}" -gt 0 ]; then
        descendants=$(rig_descendants "${RIG_PIDS[@]}")
    fi
    for ((i = ${#RIG_PIDS[@]} - 1; i >= 0; i--)); do
        if [ "${RIG_PIDS[i]}" = "$RIG_BUS_DAEMON_PID" ] && rig_pid_alive "$RIG_BUS_DAEMON_PID"; then
            rig_stop_bus_services
        fi
        rig_stop_pid "${RIG_PIDS[i]}"
    done
    # A process of the rig that is not the script's child (the bus daemon) is
    # reaped by its own parent; until then it is a zombie, not running.
    for pid in "${RIG_PIDS[@]}"; do
        if rig_pid_still_ours "$pid" && rig_pid_alive "$pid"; then
            leftovers+=("${RIG_PID_NAMES[$pid]} ($pid)")
        fi
    done
    for pid in $descendants; do
        if rig_pid_alive "$pid"; then
            leftovers+=("$(ps -o args= -p "$pid") ($pid)")
            kill -KILL "$pid" 2>/dev/null
        fi
    done
    if [ "${#leftovers[@]}" -gt 0 ]; then
        printf '[%s] FAIL: processes left running: %s\n' "$RIG_SCENARIO" "${leftovers[*]}" >&2
        status=1
    else
        rig_log "stopped ${#RIG_PIDS[@]} processes; none left running"
    fi
    if [ "$status" -ne 0 ] && [ -d "${RIG_DIR:-}/logs" ]; then
        cp -r "$RIG_DIR/logs/." "$RIG_SHOTS/" 2>/dev/null
        [ -f "$RIG_PLAYLIST" ] && cp "$RIG_PLAYLIST" "$RIG_SHOTS/Music.mus"
        rig_log "logs kept in $RIG_SHOTS"
        # A second run of the scenario starts afresh in that folder: the test's
        # own output keeps the ends of the logs.
        local log
        for log in "$RIG_DIR"/logs/*.log; do
            [ -s "$log" ] || continue
            rig_log "end of ${log##*/}:" >&2
            tail -n 12 "$log" | sed "s/^/[$RIG_SCENARIO]    | /" >&2
        done
    fi
    cd / && rm -rf "${RIG_DIR:?}"
    if [ "$status" -eq 0 ]; then
        rig_log "PASS"
    else
        rig_log "FAILED"
    fi
    exit "$status"
}

# Ends a scenario whose checks all held; it passes if the clean-up finds
# nothing left running.
rig_done() {
    exit 0
}

# rig_poll SECONDS COMMAND...: polls COMMAND until it succeeds; false if it
# has not by then.
rig_poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# rig_wait_for SECONDS DESCRIPTION COMMAND...: polls COMMAND until it succeeds.
rig_wait_for() {
    local limit=$1 what=$2
    shift 2
    rig_poll "$limit" "$@" || rig_fail "timed out after ${limit}s waiting for $what"
}

rig_file_has_line() { grep -q . "$1" 2>/dev/null; }

# ---- X display and tray host ---------------------------------------------------

rig_start_x() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$RIG_DIR/display" \
        >"$RIG_DIR/logs/xvfb.log" 2>&1 &
    rig_track $! Xvfb
    rig_wait_for 15 "Xvfb to take a display" rig_file_has_line "$RIG_DIR/display"
    DISPLAY=":$(head -n 1 "$RIG_DIR/display")"
    export DISPLAY
    rig_wait_for 10 "display $DISPLAY to answer" xdpyinfo -display "$DISPLAY" >/dev/null
    RIG_X_STARTED=1
    RIG_ROOT=$(rig_x xwininfo -root | awk '/Window id:/ { print $4; exit }')
    RIG_ROOT=$((RIG_ROOT))
    rig_ok "Xvfb on $DISPLAY"
}

# rig_start_weston: a Wayland desktop, weston, shown in a window of the rig's
# Xvfb through weston's X11 backend, which also takes its input from there:
# xdotool on RIG_XVFB_DISPLAY moves weston's pointer and types into its
# keyboard focus. X clients run on weston's XWayland. From here on DISPLAY
# names XWayland's display (windows are looked for there), and screenshots
# are taken of the Xvfb that shows weston. Sets RIG_WAYLAND_DISPLAY.
rig_start_weston() {
    local screen_w screen_h
    read -r screen_w screen_h <<<"$(rig_x xdpyinfo | awk '/dimensions:/ { sub("x", " ", $2); print $2 }')"
    RIG_XVFB_DISPLAY=$DISPLAY
    rig_env
    # weston's window leaves a strip of the Xvfb screen free on the right:
    # weston follows the pointer only once it has entered the window, which
    # it never does if it is inside from the start.
    "${RIG_ENV[@]}" weston --backend=x11-backend.so --xwayland --socket=wayland-rig \
        --width=$((screen_w - RIG_WESTON_STRIP)) --height="$screen_h" --idle-time=0 \
        --log="$RIG_DIR/logs/weston.log" \
        >"$RIG_DIR/logs/weston-out.log" 2>&1 &
    rig_track $! weston
    RIG_WESTON_PID=$!
    rig_wait_for 30 "weston's XWayland display" rig_weston_xwayland_display
    RIG_WAYLAND_DISPLAY=wayland-rig
    export DISPLAY=$RIG_XWAYLAND_DISPLAY
    # XWayland starts with its first client.
    rig_wait_for 20 "XWayland on $DISPLAY to answer" xdpyinfo -display "$DISPLAY" >/dev/null
    RIG_ROOT=$(rig_x xwininfo -root | awk '/Window id:/ { print $4; exit }')
    RIG_ROOT=$((RIG_ROOT))
    rig_input mousemove $((screen_w - 2)) 2 sleep 0.2 mousemove $((screen_w / 2)) $((screen_h / 2))
    rig_ok "weston $((screen_w - RIG_WESTON_STRIP))x$screen_h in $RIG_XVFB_DISPLAY, Wayland socket $RIG_WAYLAND_DISPLAY, XWayland on $DISPLAY"
}

readonly RIG_WESTON_STRIP=8

rig_weston_xwayland_display() {
    rig_pid_alive "$RIG_WESTON_PID" || rig_fail "weston ended: $(tail -n 5 "$RIG_DIR/logs/weston.log")"
    RIG_XWAYLAND_DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' \
        "$RIG_DIR/logs/weston.log" 2>/dev/null | head -n 1)
    [ -n "$RIG_XWAYLAND_DISPLAY" ]
}

# rig_input XDOTOOL_ARGUMENT...: real input: under weston, xdotool on the
# Xvfb that weston takes its pointer and keyboard from.
rig_input() {
    DISPLAY=${RIG_XVFB_DISPLAY:-$DISPLAY} rig_x xdotool "$@"
}

# rig_start_tray_host NAME WINDOW_NAME_REGEX COMMAND...: starts a tray host and
# waits until its window (WM_NAME matching the regex) is mapped.
rig_start_tray_host() {
    local name=$1 window=$2
    shift 2
    rig_env
    "${RIG_ENV[@]}" "$@" >"$RIG_DIR/logs/$name.log" 2>&1 &
    rig_track $! "$name"
    RIG_TRAY_HOST_PID=$!
    rig_wait_for 30 "the $name window" rig_tray_host_shown "$RIG_TRAY_HOST_PID" "$name" "$window"
    RIG_TRAY_HOST_WINDOW=$RIG_FOUND_WINDOW
    rig_ok "$name is up (window $RIG_TRAY_HOST_WINDOW)"
}

# rig_tray_host_shown PID NAME WINDOW: the host's window is up; a host that
# ended instead fails the scenario at once.
rig_tray_host_shown() {
    rig_pid_alive "$1" || rig_fail "$2 ended before showing its window"
    rig_find_visible_named "$3"
}

# An XEmbed tray that needs no window manager; by the time its panel is mapped
# it owns the tray selection, so the program finds a tray when it starts.
rig_start_trayer() {
    rig_start_tray_host trayer '^panel$' trayer --edge bottom --align right \
        --widthtype request --height 24 --transparent false
}

# A private session bus for scenarios that need one (a StatusNotifierItem host,
# say); call it before starting the tray host and the program. It runs under
# dbus-run-session, whose command only holds the bus open: the rig stops the
# bus daemon first, then the holder, and dbus-run-session reaps both and ends.
# Services the bus starts by itself (xfconfd, say) are stopped before the bus
# is (rig_stop_bus_services).
rig_start_session_bus() {
    rig_env
    # shellcheck disable=SC2016  # expanded by the holder's shell
    "${RIG_ENV[@]}" dbus-run-session -- sh -c \
        'printf "%s\n" "$DBUS_SESSION_BUS_ADDRESS" >"$1.part" && mv "$1.part" "$1" && exec sleep infinity' \
        sh "$RIG_DIR/bus-address" >"$RIG_DIR/logs/dbus-run-session.log" 2>&1 &
    RIG_BUS_SESSION_PID=$!
    rig_track "$RIG_BUS_SESSION_PID" dbus-run-session
    rig_wait_for 10 "the session bus address" rig_file_has_line "$RIG_DIR/bus-address"
    rig_wait_for 10 "the session bus's holder" rig_bus_children_ready
    rig_track "$RIG_BUS_HOLDER_PID" "session bus holder"
    rig_track "$RIG_BUS_DAEMON_PID" "session bus daemon"
    RIG_BUS_ADDRESS=$(head -n 1 "$RIG_DIR/bus-address")
    export DBUS_SESSION_BUS_ADDRESS=$RIG_BUS_ADDRESS
    rig_ok "private session bus at $RIG_BUS_ADDRESS (dbus-daemon $RIG_BUS_DAEMON_PID)"
}

# Finds the bus daemon and the holder among dbus-run-session's children.
rig_bus_children_ready() {
    local children
    children=$(ps -o pid= -o comm= --ppid "$RIG_BUS_SESSION_PID")
    RIG_BUS_DAEMON_PID=$(awk '$2 == "dbus-daemon" { print $1 }' <<<"$children")
    RIG_BUS_HOLDER_PID=$(awk '$2 == "sleep" { print $1 }' <<<"$children")
    [[ $RIG_BUS_DAEMON_PID =~ ^[0-9]+$ ]] && [[ $RIG_BUS_HOLDER_PID =~ ^[0-9]+$ ]]
}

# rig_bus COMMAND...: runs a D-Bus client (dbus-send, playerctl) on the rig's
# bus, with the rig's environment and a deadline.
rig_bus() {
    rig_env
    "${RIG_ENV[@]}" timeout 10 "$@"
}

# rig_status_is WORD: playerctl reports that playback status.
rig_status_is() { [ "$(rig_bus playerctl -p melvane status 2>&1)" = "$1" ]; }

# rig_bus_get DESTINATION PATH INTERFACE PROPERTY: the property's value as
# dbus-send prints it.
rig_bus_get() {
    rig_bus dbus-send --session --print-reply --dest="$1" "$2" \
        org.freedesktop.DBus.Properties.Get string:"$3" string:"$4"
}

# rig_bus_name_pid NAME: the PID of the process that owns the bus name.
rig_bus_name_pid() {
    rig_bus dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:"$1" 2>/dev/null |
        awk '/uint32/ { print $2 }'
}

# The PID behind each connection on the rig's bus, one a line.
rig_bus_client_pids() {
    local name
    for name in $(rig_bus dbus-send --session --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.ListNames 2>/dev/null |
        sed -n 's/^ *string "\(:[0-9.]*\)"$/\1/p'); do
        rig_bus_name_pid "$name"
    done | sort -u
}

# Stops, by PID, whatever is still connected to the rig's bus once the
# processes the rig started are gone: services the bus started itself. They
# are not children of the script, so each is watched until it has ended.
rig_stop_bus_services() {
    local pid name
    for pid in $(rig_bus_client_pids); do
        if [ "$pid" = "$$" ] || ! rig_pid_alive "$pid"; then
            continue
        fi
        name=$(ps -o comm= -p "$pid" 2>/dev/null || echo "pid $pid")
        rig_terminate "$pid" "$name, started by the session bus," || continue
        rig_log "stopped $name ($pid), a service the session bus had started"
    done
}

# xfce4-panel as a StatusNotifierItem host: one panel along the bottom edge
# holding only the status tray, from a configuration of the rig's own (which
# also keeps the panel's first-run dialog away). Needs the rig's session bus,
# on which the bus starts xfconfd for the panel. The panel waits for a window
# manager unless told not to; it needs none. Sets RIG_TRAY_HOST_WINDOW.
rig_start_xfce_panel() {
    local channel="$RIG_CONFIG/xfce4/xfconf/xfce-perchannel-xml"
    [ "$RIG_BUS_ADDRESS" != "$RIG_NO_BUS" ] || rig_fail "xfce4-panel needs the rig's session bus"
    mkdir -p "$channel"
    cat >"$channel/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=10;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
    # No accessibility bus and no dconf: the bus would start them for the
    # panel and they are not needed.
    rig_start_tray_host xfce4-panel '^xfce4-panel$' env NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory \
        xfce4-panel --disable-wm-check --sm-client-disable
    rig_wait_for 15 "xfce4-panel's status tray to register as a StatusNotifierItem host" \
        rig_sni_host_registered
    rig_ok "xfce4-panel hosts StatusNotifierItems"
}

rig_sni_host_registered() {
    rig_bus_get org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher \
        IsStatusNotifierHostRegistered 2>/dev/null | grep -q 'boolean true'
}

# The items registered with the StatusNotifierItem watcher, one a line, as
# "BUSNAME/PATH".
rig_sni_items() {
    rig_bus_get org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher \
        RegisteredStatusNotifierItems 2>/dev/null | sed -n 's/^ *string "\(.*\)"$/\1/p'
}

# Sets RIG_SNI_ITEM ("BUSNAME/PATH") to the program's registered item, and
# RIG_SNI_NAME and RIG_SNI_PATH to its two parts.
rig_find_app_sni_item() {
    local item
    RIG_SNI_ITEM=""
    for item in $(rig_sni_items); do
        if [ "$(rig_bus_name_pid "${item%%/*}")" = "$RIG_APP_PID" ]; then
            RIG_SNI_ITEM=$item
            RIG_SNI_NAME=${item%%/*}
            RIG_SNI_PATH=/${item#*/}
            return 0
        fi
    done
    return 1
}

# The object path of the menu the program's item exports, as its Menu
# property names it.
rig_sni_menu_path() {
    rig_bus_get "$RIG_SNI_NAME" "$RIG_SNI_PATH" org.kde.StatusNotifierItem Menu |
        awk -F'"' '/object path/ { print $2 }'
}

# ---- sound ----------------------------------------------------------------------

rig_sink_ready() {
    rig_pulse_env
    "${RIG_ENV[@]}" pactl list short sinks 2>/dev/null | grep -q '\bcap\b'
}

rig_start_pulse() {
    env -i PATH=/usr/bin:/bin HOME="$RIG_PULSE_DIR" PULSE_RUNTIME_PATH="$RIG_PULSE_DIR" \
        DBUS_SESSION_BUS_ADDRESS="$RIG_NO_BUS" \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false \
        -L "module-null-sink sink_name=cap" \
        -L "module-native-protocol-unix socket=$RIG_PULSE_DIR/native auth-anonymous=1" \
        >>"$RIG_DIR/logs/pulseaudio.log" 2>&1 &
    RIG_PULSE_PID=$!
    rig_track "$RIG_PULSE_PID" pulseaudio
    rig_wait_for 15 "PulseAudio's null sink" rig_sink_ready
    rig_ok "PulseAudio with null sink 'cap'"
}

rig_rec_bytes() { stat -c %s "$RIG_REC" 2>/dev/null || echo 0; }

# rig_start_recording [append]: records the monitor into RIG_REC, afresh or,
# after the sound server was started again, on at the end of what it holds.
rig_start_recording() {
    local before=0
    if [ "${1:-}" = append ]; then
        # Whole frames only, in case the last write was cut short.
        before=$(($(rig_rec_bytes) / 4 * 4))
        truncate -s "$before" "$RIG_REC"
    else
        : >"$RIG_REC"
    fi
    rig_pulse_env
    "${RIG_ENV[@]}" parec --device=cap.monitor --raw --format=s16le --rate=$RIG_RATE \
        --channels=2 --latency-msec=50 >>"$RIG_REC" 2>>"$RIG_DIR/logs/parec.log" &
    RIG_PAREC_PID=$!
    rig_track "$RIG_PAREC_PID" parec
    rig_wait_for 10 "the monitor recording to start" rig_recording_beyond "$before"
    rig_ok "recording the sink's monitor"
}

rig_recording_beyond() { [ "$(rig_rec_bytes)" -gt "$1" ]; }

# rig_stop_pulse: stops the sound server by its PID; the recording of its
# monitor ends with it.
rig_stop_pulse() {
    rig_stop_pid "$RIG_PULSE_PID"
    rig_stop_pid "$RIG_PAREC_PID"
    rig_ok "PulseAudio ($RIG_PULSE_PID) stopped at $(rig_rec_now)s of the recording"
}

# rig_restart_pulse: the sound server again, on the same socket with the same
# null sink, and its recording. The recording goes on in the same file: its
# clock leaves out the time without a server.
rig_restart_pulse() {
    rig_start_pulse
    rig_start_recording append
}

# Seconds of sound recorded so far: the recording's clock.
rig_rec_now() {
    awk -v b="$(rig_rec_bytes)" -v r=$RIG_BYTES_PER_SECOND 'BEGIN { printf "%.3f", b / r }'
}

rig_rec_reaches() {
    awk -v now="$(rig_rec_now)" -v t="$1" 'BEGIN { exit !(now >= t) }'
}

# rig_measure START DURATION: sets RIG_RMS to the RMS amplitude of that
# window of the recording, once it has been recorded.
rig_measure() {
    local end
    end=$(rig_plus "$1" "$2")
    rig_wait_for 15 "$(rig_plus "$end" 0.1)s of recording" rig_rec_reaches "$(rig_plus "$end" 0.1)"
    RIG_RMS=$(sox -t raw -r $RIG_RATE -e signed -b 16 -c 2 "$RIG_REC" -n trim "$1" "$2" stat 2>&1 |
        awk '/^RMS +amplitude/ { print $3 }')
    [ -n "$RIG_RMS" ] || rig_fail "sox could not measure ${1}s+${2}s of the recording"
}

rig_louder() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 > b + 0) }'; }
rig_plus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a + b }'; }

# rig_expect_sound START DURATION WHAT
rig_expect_sound() {
    rig_measure "$1" "$2"
    rig_louder "$RIG_RMS" $RIG_SOUND_RMS ||
        rig_fail "$3: expected sound in ${1}s+${2}s of the monitor, RMS amplitude is $RIG_RMS"
    rig_ok "$3: sound in ${1}s+${2}s (RMS $RIG_RMS)"
}

# rig_expect_silence START DURATION WHAT
rig_expect_silence() {
    rig_measure "$1" "$2"
    ! rig_louder "$RIG_RMS" $RIG_SILENCE_RMS ||
        rig_fail "$3: expected silence in ${1}s+${2}s of the monitor, RMS amplitude is $RIG_RMS"
    rig_ok "$3: silence in ${1}s+${2}s (RMS $RIG_RMS)"
}

# rig_expect_sound_within MARK LIMIT WHAT: sound starts no later than LIMIT
# seconds after MARK on the recording's clock, and goes on for a second.
rig_expect_sound_within() {
    local mark=$1 limit=$2 what=$3 t
    t=$mark
    while rig_louder "$(rig_plus "$mark" "$limit")" "$t"; do
        rig_measure "$t" 0.2
        if rig_louder "$RIG_RMS" $RIG_SOUND_RMS; then
            rig_ok "$what: sound began $(rig_plus "$t" "-$mark")s after the mark"
            rig_expect_sound "$(rig_plus "$t" 0.2)" 1.0 "$what, going on"
            return 0
        fi
        t=$(rig_plus "$t" 0.2)
    done
    rig_fail "$what: no sound within ${limit}s (monitor from ${mark}s)"
}

# ---- media and the program -------------------------------------------------------

# rig_make_tunes: the demo tunes (8 s each); sets RIG_TUNE_MID, _WAV, _MP3.
rig_make_tunes() {
    "$RIG_MAKETUNES" "$RIG_MEDIA" >"$RIG_DIR/logs/tunes.txt" ||
        rig_fail "melvane-maketunes failed: $(cat "$RIG_DIR/logs/tunes.txt")"
    RIG_TUNE_MID=$(grep '\.mid$' "$RIG_DIR/logs/tunes.txt")
    RIG_TUNE_WAV=$(grep '\.wav$' "$RIG_DIR/logs/tunes.txt")
    RIG_TUNE_MP3=$(grep '\.mp3$' "$RIG_DIR/logs/tunes.txt")
    [ -s "$RIG_TUNE_WAV" ] || rig_fail "melvane-maketunes wrote no WAV"
}

# rig_make_wav PATH SECONDS FREQUENCY: a stereo sine tone.
rig_make_wav() {
    sox -n -r $RIG_RATE -c 2 -b 16 "$1" synth "$2" sine "$3" vol 0.5 ||
        rig_fail "sox could not write $1"
}

# The program reads Music.mus from its own folder, so each scenario runs a copy.
rig_install_app() {
    cp "$RIG_MELVANE" "$RIG_APP"
}

# rig_write_playlist PATH...: one path a line, CR LF after each.
rig_write_playlist() {
    printf '%s\r\n' "$@" >"$RIG_PLAYLIST"
}

rig_start_app() {
    # A GStreamer registry of its own, built before the clock starts.
    rig_env
    "${RIG_ENV[@]}" GST_REGISTRY="$RIG_HOME/gst-registry.bin" gst-inspect-1.0 >/dev/null 2>&1 || true
    RIG_APP_MARK=$(rig_rec_now)
    "${RIG_ENV[@]}" PULSE_SERVER="unix:$RIG_PULSE_DIR/native" GST_REGISTRY="$RIG_HOME/gst-registry.bin" \
        QT_QPA_PLATFORM="${RIG_QPA:-xcb}" "$RIG_APP" >"$RIG_DIR/logs/melvane.log" 2>&1 &
    RIG_APP_PID=$!
    rig_track "$RIG_APP_PID" melvane
    rig_ok "started $RIG_APP (pid $RIG_APP_PID) at ${RIG_APP_MARK}s of the recording"
}

rig_app_alive() { rig_pid_alive "$RIG_APP_PID"; }
rig_app_ended() { ! rig_app_alive; }

# rig_wait_app_exit SECONDS: waits for the program to end; sets RIG_APP_STATUS.
rig_wait_app_exit() {
    rig_wait_for "$1" "the program to end" rig_app_ended
    RIG_APP_STATUS=0
    wait "$RIG_APP_PID" || RIG_APP_STATUS=$?
    RIG_REAPED[$RIG_APP_PID]=1
}

# ---- windows ----------------------------------------------------------------------

# X clients are given a deadline so that a stuck display fails the scenario
# instead of hanging it.
rig_x() { timeout 10 "$@"; }

rig_window_parent() {
    local parent
    parent=$(rig_x xwininfo -id "$1" -children 2>/dev/null |
        awk '/Parent window id:/ { print $4; exit }')
    [ -n "$parent" ] && echo $((parent))
}

rig_window_name() { rig_x xdotool getwindowname "$1" 2>/dev/null; }

# The program's mapped windows, one id a line.
rig_app_windows() {
    rig_x xdotool search --onlyvisible --pid "$RIG_APP_PID" 2>/dev/null | grep -E '^[0-9]+$' || true
}

# rig_window_geometry W: prints "X Y WIDTH HEIGHT" (absolute position).
rig_window_geometry() {
    rig_x xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 }
        END { if (w != "") print x, y, w, h }'
}

# The program's mapped windows directly under the root window, one id a line.
rig_app_toplevels() {
    local w
    for w in $(rig_app_windows); do
        [ "$(rig_window_parent "$w")" = "$RIG_ROOT" ] && echo "$w"
    done
    return 0
}

# The program's mapped windows that live inside another client's window.
rig_app_embedded() {
    local w parent
    for w in $(rig_app_windows); do
        parent=$(rig_window_parent "$w") || continue
        [ "$parent" != "$RIG_ROOT" ] && echo "$w"
    done
    return 0
}

# rig_find_visible_named REGEX: sets RIG_FOUND_WINDOW to a mapped window whose
# WM_NAME matches.
rig_find_visible_named() {
    RIG_FOUND_WINDOW=$(rig_x xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$RIG_FOUND_WINDOW" ]
}

# rig_find_app_toplevel TEST ARGUMENT...: sets RIG_FOUND_WINDOW to the first
# of the program's top-level windows W for which "TEST W ARGUMENT..." holds.
rig_find_app_toplevel() {
    local w
    RIG_FOUND_WINDOW=""
    for w in $(rig_app_toplevels); do
        if "$1" "$w" "${@:2}"; then
            RIG_FOUND_WINDOW=$w
            return 0
        fi
    done
    return 1
}

rig_find_app_toplevel_named() { rig_find_app_toplevel rig_window_named "$1"; }
rig_find_app_toplevel_sized() { rig_find_app_toplevel rig_window_sized "$1" "$2"; }

rig_window_named() { rig_window_name "$1" | grep -qE "$2"; }
rig_window_sized() { [ "$(rig_window_geometry "$1" | cut -d' ' -f3,4)" = "$2 $3" ]; }
# rig_steady_geometry W SECONDS: the window's geometry, if it is the same
# again after that pause (a window is often moved just after it is mapped).
rig_steady_geometry() {
    local geometry
    geometry=$(rig_window_geometry "$1")
    sleep "$2"
    [ -n "$geometry" ] && [ "$geometry" = "$(rig_window_geometry "$1")" ] && echo "$geometry"
}

rig_window_gone() { ! rig_x xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# The tray icon is the program's window embedded in the tray host; it is
# reparented and moved for a moment after it appears, so its place counts only
# once it holds still and lies inside the host's window. Sets RIG_ICON_X, _Y,
# _W, _H and the centre RIG_ICON_CX, _CY.
rig_find_tray_icon() {
    local icon geometry host
    icon=$(rig_app_embedded | head -n 1)
    [ -n "$icon" ] && geometry=$(rig_steady_geometry "$icon" 0.3) || return 1
    read -r RIG_ICON_X RIG_ICON_Y RIG_ICON_W RIG_ICON_H <<<"$geometry"
    host=$(rig_window_geometry "$RIG_TRAY_HOST_WINDOW")
    awk -v i="$geometry" -v h="$host" 'BEGIN {
        split(i, a, " "); split(h, b, " ")
        exit !(a[1] >= b[1] && a[2] >= b[2] && a[1] + a[3] <= b[1] + b[3] && a[2] + a[4] <= b[2] + b[4])
    }' || return 1
    RIG_ICON_WINDOW=$icon
    RIG_ICON_CX=$((RIG_ICON_X + RIG_ICON_W / 2))
    RIG_ICON_CY=$((RIG_ICON_Y + RIG_ICON_H / 2))
}

rig_wait_tray_icon() {
    rig_wait_for "$1" "the tray icon in the tray host" rig_find_tray_icon
    rig_ok "tray icon ${RIG_ICON_W}x${RIG_ICON_H} at $RIG_ICON_X,$RIG_ICON_Y inside the tray host"
}

# ---- mouse and keyboard ---------------------------------------------------------------

rig_click() {
    rig_input mousemove --sync "$1" "$2" click 1
}

rig_double_click() {
    rig_x xdotool mousemove "$1" "$2" sleep 0.2 click --repeat 2 --delay 80 1
}

# Two small moves, so the window sees motion over the point and not just an
# enter.
rig_hover() {
    rig_input mousemove --sync "$1" "$2" sleep 0.1 mousemove --sync $(($1 + 1)) $(($2 + 1))
}

# Closes a modal box through its default button.
rig_close_box() {
    rig_x xdotool windowfocus --sync "$1"
    rig_x xdotool key Return
}

# ---- pictures ---------------------------------------------------------------------------

# rig_shot NAME: a screenshot of the whole display into the shots folder.
rig_shot() {
    local file="$RIG_SHOTS/$1.png"
    DISPLAY=${RIG_XVFB_DISPLAY:-$DISPLAY} timeout 20 import -window root "$file" || {
        echo "import could not take the screenshot $file" >&2
        return 1
    }
    echo "$file"
}

# rig_pixel FILE X Y: the colour of one pixel, e.g. "srgb(38,99,165)"; a
# file that cannot be read gives a text that matches no colour.
rig_pixel() {
    convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null || echo "unreadable $1"
}

# rig_area_mismatch FILE X Y REFERENCE: how many pixels of the area at X,Y, as
# large as REFERENCE, differ from REFERENCE by more than a rounding step; an
# error message when the two cannot be compared.
rig_area_mismatch() {
    local size crop="$RIG_DIR/area.png" result status=0
    size=$(identify -format '%wx%h' "$4" 2>&1) || {
        echo "cannot read $4: $size"
        return 0
    }
    convert "$1" -crop "${size}+$2+$3" +repage "$crop" 2>&1 || return 0
    result=$(compare -metric AE -fuzz 1% "$crop" "$4" null: 2>&1) || status=$?
    if [ "$status" -gt 1 ]; then
        echo "cannot compare with $4: $result"
    else
        awk '{ printf "%d", $1 }' <<<"$result"
    fi
}

# ---- the tray menu --------------------------------------------------------------------

# The tray menu's items, top to bottom, and the top of each item's row in the
# menu's item column, which the popup's frame surrounds evenly; every item is
# 24 px high and the two separators, 5 px high, lie between rows.
RIG_MENU_ITEMS=(Option First Last Play Stop Next Final Exit)
RIG_MENU_TOPS=(0 29 53 77 101 125 149 178)
readonly RIG_MENU_ROW_HEIGHT=24 RIG_MENU_COLUMN_HEIGHT=202

# Sets RIG_MENU_WINDOW and its place RIG_MENU_X, _Y, _W, _H once the program's
# popup menu is mapped and holds still.
rig_find_tray_menu() {
    local geometry
    rig_find_app_toplevel_named '^melvane menu$' &&
        geometry=$(rig_steady_geometry "$RIG_FOUND_WINDOW" 0.2) || return 1
    RIG_MENU_WINDOW=$RIG_FOUND_WINDOW
    read -r RIG_MENU_X RIG_MENU_Y RIG_MENU_W RIG_MENU_H <<<"$geometry"
}

rig_wait_tray_menu() {
    rig_wait_for "$1" "the menu window \"melvane menu\"" rig_find_tray_menu
    rig_ok "menu $RIG_MENU_WINDOW, ${RIG_MENU_W}x$RIG_MENU_H at $RIG_MENU_X,$RIG_MENU_Y"
}

# rig_menu_item_point NAME: sets RIG_POINT_X, _Y to a screen point in the
# middle of the item's text in the open menu.
rig_menu_item_point() {
    local i frame=$(((RIG_MENU_H - RIG_MENU_COLUMN_HEIGHT) / 2))
    for i in "${!RIG_MENU_ITEMS[@]}"; do
        [ "${RIG_MENU_ITEMS[i]}" != "$1" ] || break
    done
    [ "${RIG_MENU_ITEMS[i]}" = "$1" ] || rig_fail "the tray menu has no item '$1'"
    RIG_POINT_X=$((RIG_MENU_X + frame + 60))
    RIG_POINT_Y=$((RIG_MENU_Y + frame + RIG_MENU_TOPS[i] + RIG_MENU_ROW_HEIGHT / 2))
}

# rig_choose_menu_item NAME: clicks the item of the open menu; the menu closes.
rig_choose_menu_item() {
    rig_menu_item_point "$1"
    rig_hover "$RIG_POINT_X" "$RIG_POINT_Y"
    rig_input sleep 0.1 click 1
    rig_wait_for 5 "the menu to close after choosing \"$1\"" rig_window_gone "$RIG_MENU_WINDOW"
    rig_ok "chose \"$1\"; the menu closed"
}

# ---- sequences the scenarios share ------------------------------------------------

# rig_setup TRAY [bus] [no-playlist]: the display; a private session bus when
# asked for (the XFCE panel always gets one); the tray host TRAY (trayer, xfce
# or none); the sound server and its recording; the demo tunes, the program's
# copy and, unless told otherwise, a playlist of the WAV tune.
rig_setup() {
    local tray=$1
    shift
    rig_step "set up display, tray host ($tray), sound server${*:+ ($*)}"
    rig_start_x
    if [ "$tray" = xfce ] || [[ " $* " == *" bus "* ]]; then
        rig_start_session_bus
    fi
    case $tray in
        trayer) rig_start_trayer ;;
        xfce) rig_start_xfce_panel ;;
        none) ;;
        *) rig_fail "no tray host called '$tray'" ;;
    esac
    rig_start_pulse
    rig_start_recording
    rig_install_app
    if [[ " $* " != *" no-playlist "* ]]; then
        rig_make_tunes
        rig_write_playlist "$RIG_TUNE_WAV"
    fi
}

# Starts the program beside an XEmbed tray: its icon docks and the first entry
# sounds at once.
rig_start_playing() {
    rig_step "start the program: its icon docks in the tray host and it plays"
    rig_start_app
    rig_wait_tray_icon 15
    rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"
}

# rig_expect_no_window WHEN: the program shows no top-level window.
rig_expect_no_window() {
    local toplevels w
    toplevels=$(rig_app_toplevels)
    [ -z "$toplevels" ] || rig_fail "the program shows top-level windows $1: $(for w in $toplevels; do
        printf '%s [%s] ' "$w" "$(rig_window_geometry "$w")"
    done)"
    rig_ok "no visible top-level window of the program $1"
}

# rig_expect_window SECONDS: the program's 508x325 window shows at 0,0 within
# that time; sets RIG_WINDOW.
rig_expect_window() {
    local geometry
    rig_wait_for "$1" "the 508x325 window" rig_find_app_toplevel_sized 508 325
    RIG_WINDOW=$RIG_FOUND_WINDOW
    geometry=$(rig_x xdotool getwindowgeometry "$RIG_WINDOW")
    grep -q 'Position: 0,0 ' <<<"$geometry" || rig_fail "window is not at 0,0: $geometry"
    grep -q 'Geometry: 508x325' <<<"$geometry" || rig_fail "window is not 508x325: $geometry"
    rig_ok "window $RIG_WINDOW: $(grep -E 'Position|Geometry' <<<"$geometry" | xargs)"
}

# rig_expect_skin SHOT: the window, at 0,0 in the screenshot, shows its
# background picture.
rig_expect_skin() {
    local point x y
    for point in "20 20" "250 40" "300 70" "480 310"; do
        read -r x y <<<"$point"
        [ "$(rig_pixel "$1" "$x" "$y")" = "$(rig_pixel "$RIG_SOURCE_ROOT/src/res/157.png" "$x" "$y")" ] ||
            rig_fail "the window at $x,$y is not the background picture (157.png)"
    done
    rig_ok "the window shows its background picture"
}

# rig_open_tray_menu: a right click on the docked tray icon opens the menu.
rig_open_tray_menu() {
    rig_x xdotool mousemove --sync "$RIG_ICON_CX" "$RIG_ICON_CY" click 3
    rig_wait_tray_menu 5
}

# rig_expect_stops WHAT COMMAND...: the player sounds until COMMAND and is
# silent after it.
rig_expect_stops() {
    local what=$1 mark
    shift
    rig_step "$what silences the player"
    mark=$(rig_rec_now)
    "$@"
    rig_expect_sound "$(rig_plus "$mark" -1.2)" 1.0 "before $what"
    rig_expect_silence "$(rig_plus "$(rig_rec_now)" 0.5)" 1.5 "after $what"
}

# rig_expect_plays WHAT COMMAND...: sound comes within 3 s of COMMAND.
rig_expect_plays() {
    local what=$1 mark
    shift
    rig_step "$what starts the player again"
    mark=$(rig_rec_now)
    "$@"
    rig_expect_sound_within "$mark" 3 "after $what"
}

# rig_expect_exit WHAT COMMAND...: COMMAND ends the program with status 0; it
# takes its autostart entry with it and the sink falls silent.
rig_expect_exit() {
    local what=$1 mark
    shift
    rig_step "$what ends the program and removes the autostart entry"
    [ -f "$RIG_AUTOSTART" ] || rig_fail "no autostart entry before $what"
    "$@"
    mark=$(rig_rec_now)
    rig_wait_app_exit 10
    [ "$RIG_APP_STATUS" = 0 ] || rig_fail "the program exited with status $RIG_APP_STATUS"
    rig_ok "program ended with status 0"
    [ ! -e "$RIG_AUTOSTART" ] || rig_fail "the autostart entry is still there: $RIG_AUTOSTART"
    rig_ok "autostart entry removed"
    rig_expect_silence "$(rig_plus "$mark" 1.0)" 1.0 "after $what"
}

# The docked icon's window is gone and the tray host holds no window of the
# program.
rig_expect_tray_icon_gone() {
    local embedded
    ! rig_x xwininfo -id "$RIG_ICON_WINDOW" >/dev/null 2>&1 || rig_fail "the tray icon's window still exists"
    embedded=$(rig_x xwininfo -id "$RIG_TRAY_HOST_WINDOW" -tree | grep -c '"melvane"' || true)
    [ "$embedded" = 0 ] || rig_fail "the tray host still holds $embedded windows of the program"
    rig_ok "tray icon gone from the tray host"
}
