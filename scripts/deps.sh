#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake make g++ pkg-config \
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev qt6-qpa-plugins libgl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  clang libclang-rt-14-dev clang-format clang-tidy python3 \
  fonts-dejavu-core xvfb xauth \
  dpkg-dev lintian desktop-file-utils appstream man-db bash-completion \
  dbus-daemon python3-dbusmock >/dev/null
