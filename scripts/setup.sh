#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks, the fuzz targets and the tools need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libopencv-dev
  nlohmann-json3-dev
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libcli11-dev
  frei0r-plugins-dev ffmpeg melt
  libavfilter-dev libavutil-dev
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing ${missing[*]} (log: /tmp/qorfx-setup.log)"
  if ! { "${sudo_cmd[@]}" apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; \
       } >/tmp/qorfx-setup.log 2>&1; then
    tail -n 30 /tmp/qorfx-setup.log
    echo "setup: installing the packages failed; see /tmp/qorfx-setup.log" >&2
    exit 1
  fi
fi
