#!/usr/bin/env bash
# Installs everything needed to build, run and test melvane on Debian 12.
# Safe to run again: when everything is installed it changes nothing and needs
# no rights. Otherwise it runs apt-get as root, or through sudo; a user with
# neither is told what is missing and how to install it.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  libgtest-dev libgmock-dev
  # the checks beside the tests (scripts/checks.sh): the format and shell lint,
  # and clang with its libFuzzer and sanitizer runtimes for the fuzz targets
  clang-format shellcheck clang libclang-rt-14-dev
  # playback: WAV (through libsndfile, the sndfile plugin of plugins-bad), MP3,
  # MIDI (fluidsynth) and two General MIDI soundfonts, which the tests both use
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-tools gstreamer1.0-pulseaudio gstreamer1.0-alsa
  libsndfile1-dev libfluidsynth3 timgm6mb-soundfont fluid-soundfont-gm
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
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  {
    echo "install-deps: these packages are missing: ${missing[*]}"
    echo "install-deps: installing them needs root, and sudo is not available."
    echo "install-deps: as root, run:"
    echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}"
  } >&2
  exit 1
fi
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
