#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs Debian packages: those named on the command line, or without
# arguments the ones that building and testing libpenrune needs. Packages
# already present are left alone, so a prepared machine makes no network
# request.
#
# usage: scripts/install-deps.sh [PACKAGE...]
set -euo pipefail

packages=("$@")
if [ "${#packages[@]}" -eq 0 ]; then
  packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    liblapack-dev libblas-dev libopenblas-dev
    nlohmann-json3-dev
    python3-cffi python3-pytest python3-setuptools python3-pip
    clang libclang-rt-14-dev clang-format
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
