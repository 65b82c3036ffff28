#!/usr/bin/env bash
# Installs every Debian package Lumetra needs (build, tests, demo server) and
# builds it. Safe to run again. Needs root or sudo for the installs.
#   scripts/setup.sh            install and build (build/)
#   scripts/setup.sh --no-build install only
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-translations-l10n libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-ipafont-gothic fontconfig tzdata locales
  nkf sharutils macutils libgmime-3.0-dev python3 edict uudeview python3-sabyenc libexpat1-dev
  libssl-dev openssl qtkeychain-qt6-dev zlib1g-dev libsqlite3-dev libpcre2-dev fonts-nanum fonts-noto-color-emoji
  xvfb xauth imagemagick poppler-utils xdg-utils xdotool xclip
  netcat-openbsd procps iproute2 cups-bsd canlock tin slrn
  dpkg-dev lintian desktop-file-utils appstream groff
)

missing=()
for p in "${PACKAGES[@]}" inn2 inn2-inews; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

apt_install() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "$@"
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -q -o DPkg::Lock::Timeout=600
  apt_install "${PACKAGES[@]}"

  # INN: never let the package start a system news server, and give inn.conf a
  # domain first (its post-install step fails on a host name without a dot).
  if ! dpkg-query -W -f='${Status}' inn2 2>/dev/null | grep -q 'install ok installed'; then
    policy_made=0
    if [ ! -e /usr/sbin/policy-rc.d ]; then
      printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
      $SUDO chmod +x /usr/sbin/policy-rc.d
      policy_made=1
    fi
    apt_install inn2-inews
    if ! hostname --fqdn 2>/dev/null | grep -q '\.' && ! grep -q '^domain:' /etc/news/inn.conf; then
      echo 'domain: localdomain' | $SUDO tee -a /etc/news/inn.conf >/dev/null
    fi
    apt_install inn2 || $SUDO dpkg --configure -a
    if [ "$policy_made" = 1 ]; then $SUDO rm -f /usr/sbin/policy-rc.d; fi
  fi
fi

if [ "${1:-}" = "--no-build" ]; then exit 0; fi

cd "$here"
cmake --preset default >/dev/null
cmake --build --preset default
