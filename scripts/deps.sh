#!/usr/bin/env bash
# Installs what the build and the tests need on Debian, only what is missing.
#   scripts/deps.sh          everything (build, all test layers, fuzzing, benchmarks, installer)
#   scripts/deps.sh run      only what building and starting the program needs
set -euo pipefail

# dpkg-dev and the archive keyring: configuring fetches Debian's libwebp source (scripts/fetch_libwebp.sh).
run_pkgs=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
          googletest wine wine64 xvfb xauth dpkg-dev debian-archive-keyring)
test_pkgs=(g++ libgtest-dev libbenchmark-dev clang libclang-rt-14-dev xdotool x11-apps imagemagick
           qpdf poppler-utils img2pdf python3 procps fonts-dejavu-core fonts-symbola libimage-exiftool-perl
           nsis zip webp)

pkgs=("${run_pkgs[@]}")
[ "${1:-all}" = run ] || pkgs+=("${test_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
