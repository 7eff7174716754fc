#!/usr/bin/env bash
# Installs the Debian packages that building (and, with --tests, testing)
# tessellox needs, when they are missing. Nothing is downloaded at build time.
set -euo pipefail
packages=()
[ -f /usr/include/expat.h ] || packages+=(libexpat1-dev)
command -v g++ >/dev/null || packages+=(g++)
if [ "${1:-}" = "--tests" ]; then
  [ -f /usr/include/gtest/gtest.h ] || packages+=(libgtest-dev)
  command -v cmake >/dev/null || packages+=(cmake)
fi
if [ ${#packages[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing ${packages[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${packages[@]}" >/dev/null
fi
