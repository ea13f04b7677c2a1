#!/usr/bin/env bash
# Installs what building and testing need, with apt-get, when it is missing.
set -euo pipefail
packages=(cmake ninja-build g++ zlib1g-dev libpng-dev libgtest-dev libgmock-dev libbenchmark-dev makeself)
packages+=(lld)  # links the sanitizer build's programs
packages+=(libswscale-dev libavutil-dev libyuv-dev libsndfile1-dev)  # benchmark and test peers
# Interoperability tests of the media formats: soxi and libsndfile read our files.
packages+=(sox)
packages+=(libfftw3-dev libkissfft-dev)  # FFT tests and benchmarks only
packages+=(libmagic-dev)  # the identification benchmark runs beside libmagic
packages+=(nettle-dev)  # the MD5 benchmark runs beside nettle
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
