#!/usr/bin/env bash
# Installs tessellox (the extension module, the companion tools and the
# `tessellox` command) into the current Python environment.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/system-deps.sh
python3 -m pip install -q .
