#!/usr/bin/env bash
# Installs tessellox (the extension module, the companion tools and the
# `tessellox` command) into the active virtual environment, or else into
# .venv at the root of the repository (see scripts/python-env.sh); either
# way .venv/bin/tessellox runs the command afterwards.
#
#   scripts/install.sh [EXTRA...]      e.g. scripts/install.sh parquet dask
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/python-env.sh

spec=.
if [ $# -gt 0 ]; then
  spec=".[$(IFS=,; echo "$*")]"
fi

echo "building tessellox and installing it into $environment (the C++ compile takes a minute or two)" >&2
# pip says nothing while the compiler runs: its verbose output, kept in a
# log, carries the build's progress lines ("[12/41] Building CXX object"),
# of which the latest is shown every few seconds.
mkdir -p build
log=build/install.log
started=$SECONDS
"$python" -m pip install --disable-pip-version-check -v "$spec" >"$log" 2>&1 </dev/null &
pip_pid=$!
shown=""
while kill -0 "$pip_pid" 2>/dev/null; do
  sleep 3
  step=$(grep -aoE '^ *\[[0-9]+/[0-9]+\]' "$log" | tail -n 1 | tr -d ' ' || true)
  if [ -n "$step" ] && [ "$step" != "$shown" ]; then
    echo "  $((SECONDS - started)) s: compiled $step" >&2
    shown=$step
  fi
done
if ! wait "$pip_pid"; then
  tail -n 40 "$log" >&2
  echo "install.sh: pip install failed; its whole output is in $log" >&2
  exit 1
fi
echo "installed in $((SECONDS - started)) s; the command is $environment/bin/tessellox" \
  "(or activate the environment: source $environment/bin/activate)" >&2
