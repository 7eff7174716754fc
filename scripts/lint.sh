#!/usr/bin/env bash
# Formats and lints the tree with the tools pinned in requirements-lint.txt.
#
#   scripts/lint.sh           rewrite: clang-format on the C++ files, ruff's
#                             fixes and formatter on the Python files
#   scripts/lint.sh --check   change nothing; exit non-zero on any difference
#
# Uses $python (from scripts/python-env.sh when sourced by test.sh), else the
# virtual environment's, else python3.
set -euo pipefail
cd "$(dirname "$0")/.."
python=${python:-$( [ -x .venv/bin/python ] && echo .venv/bin/python || echo python3 )}
# Where pip puts the tools' commands for this interpreter.
bin=$("$python" -c 'import sysconfig; print(sysconfig.get_path("scripts"))')
if ! "$bin/clang-format" --version 2>/dev/null | grep -q "version $(sed -n 's/^clang-format==//p' requirements-lint.txt)\$" ||
   ! "$bin/ruff" --version 2>/dev/null | grep -q "^ruff $(sed -n 's/^ruff==//p' requirements-lint.txt)\$"; then
  "$python" -m pip install -q -r requirements-lint.txt
fi

mapfile -t cpp_files < <(git ls-files '*.cpp' '*.hpp')
if [ "${1:-}" = --check ]; then
  "$bin/clang-format" --dry-run --Werror "${cpp_files[@]}"
  "$bin/ruff" check --no-fix .
  "$bin/ruff" format --check .
else
  "$bin/clang-format" -i "${cpp_files[@]}"
  "$bin/ruff" check --fix .
  "$bin/ruff" format .
fi
