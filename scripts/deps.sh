#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12, as root. Does nothing when
# everything is already there.
#   scripts/deps.sh [bench] [fuzz]   also what the benchmark or the fuzz targets need
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev sqlite3
  xvfb xauth x11-apps x11-utils imagemagick
  fonts-liberation fp-utils
  cups cups-client cups-bsd poppler-utils file locales
  dpkg-dev desktop-file-utils appstream man-db xchm xdg-utils shared-mime-info
  python3-vobject
  radicale python3-bcrypt apache2-utils xandikos vdirsyncer openssl
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus libsecret-tools libglib2.0-bin
  at-spi2-core python3-pyatspi xdotool
)
for group in "$@"; do
  case "$group" in
    bench) packages+=(libbenchmark-dev) ;;
    fuzz) packages+=(clang libclang-rt-14-dev llvm) ;;
    *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
