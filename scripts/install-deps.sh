#!/usr/bin/env bash
# Installs everything needed to build, run and test melvane on Debian 12.
# Safe to run again; runs apt-get through sudo when not root.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  libgtest-dev libgmock-dev clang libclang-rt-14-dev
  # playback: WAV, MP3, MIDI (fluidsynth) and a General MIDI soundfont
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-tools gstreamer1.0-pulseaudio gstreamer1.0-alsa
  libfluidsynth3 timgm6mb-soundfont
  # Chinese texts must render
  fonts-wqy-microhei fonts-dejavu-core
  # end-to-end rig and its measurements
  xvfb x11-utils xdotool trayer imagemagick pulseaudio pulseaudio-utils
  sox dbus dbus-x11 desktop-file-utils procps psmisc
  # media control over the session bus (MPRIS tests)
  playerctl
  # the installed layout's checks (AppStream, manual page) and the icon renderer
  appstream man-db librsvg2-bin
  # MP3 files with tags for the media-control tests
  lame
  # a StatusNotifierItem host for the end-to-end rig (its status tray)
  xfce4-panel
  # a Wayland desktop for the end-to-end rig: weston inside the rig's Xvfb,
  # with XWayland for X clients and Qt's Wayland platform for native ones
  weston xwayland qt6-wayland
)

export DEBIAN_FRONTEND=noninteractive
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
