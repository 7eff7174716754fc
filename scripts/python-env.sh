# Sourced by install.sh and test.sh, from the root of the repository: picks
# the virtual environment that tessellox goes into and sets $python (its
# interpreter) and $environment (its folder).
#
# - The active environment, when there is one ($VIRTUAL_ENV); .venv is then
#   made a link to it when nothing else is there, so that .venv/bin/tessellox
#   names the installed command either way.
# - Otherwise .venv, made with $PYTHON (default: python3) when it does not
#   exist yet. Debian's own Python gets its venv module and C headers from
#   Debian's packages when they are missing (scripts/system-deps.sh).
if [ -n "${VIRTUAL_ENV:-}" ]; then
  environment=$VIRTUAL_ENV
  bash scripts/system-deps.sh --python "$environment/bin/python" "$@"
  if [ ! -e .venv ] && [ ! -L .venv ]; then
    ln -s "$environment" .venv
  elif [ "$(cd .venv && pwd -P)" != "$(cd "$environment" && pwd -P)" ]; then
    echo "note: using the active environment $environment; .venv holds another one" >&2
  fi
else
  environment=$PWD/.venv
  bash scripts/system-deps.sh --python "${PYTHON:-python3}" "$@"
  if [ ! -x .venv/bin/python ]; then
    echo "creating the virtual environment .venv ($("${PYTHON:-python3}" --version 2>&1))" >&2
    "${PYTHON:-python3}" -m venv .venv
  fi
fi
python=$environment/bin/python
