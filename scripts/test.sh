#!/usr/bin/env bash
# Installs everything the tests need and runs every test: the formatting and
# lint check (scripts/lint.sh --check), the C++ unit tests
# (plain and under AddressSanitizer + UndefinedBehaviorSanitizer), the
# Python tests against the built abi3 wheel (installed into the virtual
# environment of scripts/python-env.sh), and each fuzz target for
# $TESSELLOX_FUZZ_SECONDS seconds (default 60; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
started=$SECONDS
stage() { echo "== $1 (at $((SECONDS - started)) s)" >&2; }

source scripts/python-env.sh --tests

stage "formatting and lint"
python="$python" bash scripts/lint.sh --check

stage "wheel"
rm -rf build/wheel
"$python" -m pip wheel -q --no-deps -w build/wheel .
wheel=$(ls build/wheel/tessellox-*.whl)
"$python" -m pip install -q --force-reinstall --no-deps "$wheel"
"$python" -m pip install -q "${wheel}[test]"

stage "C++ tests"
cmake -S . -B build/tests -DTESSELLOX_BUILD_TESTS=ON -DTESSELLOX_WERROR=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/tests -j "$jobs"
ctest --test-dir build/tests --output-on-failure -j "$jobs"

stage "C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/tests-sanitize -DTESSELLOX_BUILD_TESTS=ON -DTESSELLOX_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/tests-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/tests-sanitize --output-on-failure -j "$jobs"

stage "Python tests"
TESSELLOX_WHEEL_DIR="$PWD/build/wheel" TESSELLOX_CORE_LIBRARY="$PWD/build/tests/libtessellox_core.a" \
  "$python" -m pytest -q tests/python

fuzz_seconds=${TESSELLOX_FUZZ_SECONDS:-60}
stage "fuzz targets, $fuzz_seconds seconds each on their seed corpora"
bash scripts/fuzz.sh "$fuzz_seconds"
echo "== all tests passed in $((SECONDS - started)) s" >&2
