#!/usr/bin/env bash
# Installs the Debian packages that building (and, with --tests, testing)
# tessellox needs, when they are missing. With --python PYTHON, also what
# that Python lacks to make a virtual environment and build an extension
# (Debian keeps venv and the C headers in packages of their own).
#
#   scripts/system-deps.sh [--tests] [--python PYTHON]
set -euo pipefail
tests=""
python=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tests) tests=1; shift ;;
    --python) python=${2:?"--python needs an interpreter"}; shift 2 ;;
    *) echo "system-deps.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
packages=()
[ -f /usr/include/expat.h ] || packages+=(libexpat1-dev)
command -v g++ >/dev/null || packages+=(g++)
if [ -n "$tests" ]; then
  [ -f /usr/include/gtest/gtest.h ] || packages+=(libgtest-dev)
  command -v cmake >/dev/null || packages+=(cmake)
fi
if [ -n "$python" ]; then
  if ! "$python" -c 'import sys' 2>/dev/null; then
    echo "system-deps.sh: cannot run $python" >&2
    exit 1
  fi
  # Only Debian's own Python is completed from Debian's packages.
  if [ "$("$python" -c 'import sys; print(sys.base_prefix)')" = /usr ]; then
    "$python" -c 'import ensurepip, venv' 2>/dev/null || packages+=(python3-venv)
    "$python" -c 'import os, sys, sysconfig; sys.exit(not os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' \
      || packages+=(python3-dev)
  fi
fi
if [ ${#packages[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing ${packages[*]} (apt-get)" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${packages[@]}" >/dev/null
fi
