#!/usr/bin/env bash
# Installs every Debian package that Ferrolyt's build, tests and program need.
# Safe to run again: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ccache clang libclang-rt-dev
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev
  qt6-translations-l10n
  libxlsxwriter-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  glpk-utils libglpk-dev
  unzip
  xvfb xauth fonts-dejavu-core
  locales
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The users' own locale (decimal comma): the window tests run under it too.
if ! locale -a 2>/dev/null | grep -qi '^uk_UA\.utf-\?8$'; then
  if [ "$(id -u)" -ne 0 ]; then sudo localedef -i uk_UA -f UTF-8 uk_UA.UTF-8; else localedef -i uk_UA -f UTF-8 uk_UA.UTF-8; fi
fi
