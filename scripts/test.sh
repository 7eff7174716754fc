#!/usr/bin/env bash
# Installs everything the tests need and runs every test: the C++ unit tests
# (plain and under AddressSanitizer + UndefinedBehaviorSanitizer) and the
# Python tests against the built abi3 wheel.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/system-deps.sh --tests

echo "== wheel" >&2
rm -rf build/wheel
python3 -m pip wheel -q --no-deps -w build/wheel .
wheel=$(ls build/wheel/tessellox-*.whl)
python3 -m pip install -q --force-reinstall --no-deps "$wheel"
python3 -m pip install -q "${wheel}[test]"

echo "== C++ tests" >&2
cmake -S . -B build/tests -DTESSELLOX_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/tests -j "$jobs"
ctest --test-dir build/tests --output-on-failure -j "$jobs"

echo "== C++ tests under AddressSanitizer and UndefinedBehaviorSanitizer" >&2
cmake -S . -B build/tests-sanitize -DTESSELLOX_BUILD_TESTS=ON -DTESSELLOX_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/tests-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/tests-sanitize --output-on-failure -j "$jobs"

echo "== Python tests" >&2
TESSELLOX_WHEEL_DIR="$PWD/build/wheel" TESSELLOX_CORE_LIBRARY="$PWD/build/tests/libtessellox_core.a" \
  python3 -m pytest -q tests/python

echo "== fuzz targets, 60 seconds each on their seed corpora" >&2
bash scripts/fuzz.sh "${TESSELLOX_FUZZ_SECONDS:-60}"
