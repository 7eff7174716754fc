#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one on a copy of its seed corpus.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     each target for SECONDS (default 60; 0 skips)
#   scripts/fuzz.sh --runs N [TARGET...]      each target for N executions
#   scripts/fuzz.sh --runs N --seconds S ...  each target until either is reached
#
# Corpora grow in build/fuzz-corpus/<target>/ and findings land in
# build/fuzz-findings/<target>/; nothing is written into the source tree.
# Prints executions and findings per target; exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

runs=""
seconds=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?"--runs needs a number"}; shift 2 ;;
    --seconds) seconds=${2:?"--seconds needs a number"}; shift 2 ;;
    *) if [[ "$1" =~ ^[0-9]+$ ]]; then seconds=$1; shift; else break; fi ;;
  esac
done
[ -z "$runs" ] && [ -z "$seconds" ] && seconds=60
# libFuzzer reads -max_total_time=0 as "no limit": 0 seconds means no time
# spent, so no fuzzing at all unless --runs asks for some.
if [ -n "$seconds" ] && [ "$((10#$seconds))" -eq 0 ]; then
  seconds=""
  if [ -z "$runs" ]; then
    echo "== fuzzing skipped (0 seconds)" >&2
    exit 0
  fi
fi
limit=()
[ -n "$runs" ] && limit+=(-runs="$runs")
[ -n "$seconds" ] && limit+=(-max_total_time="$seconds")

all_targets=(fuzz_detect fuzz_parse_v4 fuzz_parse_pap fuzz_parse_st32 fuzz_parse_sequence fuzz_parse_aps
             fuzz_parse_source fuzz_records fuzz_markdown fuzz_template fuzz_scanner_differential)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi
for target in "${targets[@]}"; do
  if [[ " ${all_targets[*]} " != *" $target "* ]]; then
    echo "unknown fuzz target '$target' (known: ${all_targets[*]})" >&2
    exit 2
  fi
done

# --- tools -------------------------------------------------------------------
bash scripts/system-deps.sh
packages=()
command -v clang >/dev/null || packages+=(clang)
command -v cmake >/dev/null || packages+=(cmake)
fuzzer_runtime() {
  command -v clang++ >/dev/null || return 1
  local dir
  dir=$(clang++ -print-resource-dir 2>/dev/null) || return 1
  compgen -G "$dir/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null
}
fuzzer_runtime || packages+=(libclang-rt-14-dev)
if [ ${#packages[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing ${packages[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${packages[@]}" >/dev/null
fi

# --- build -------------------------------------------------------------------
build=build/fuzz
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  # The core gets coverage instrumentation too (fuzzer-no-link): without it
  # libFuzzer would see only the few lines of each target.
  CC=clang CXX=clang++ cmake -S . -B "$build" "${generator[@]}" -DTESSELLOX_BUILD_FUZZ=ON -DTESSELLOX_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
fi
echo "== building ${targets[*]}" >&2
cmake --build "$build" -j 2 --target "${targets[@]}"

# --- corpora -----------------------------------------------------------------
seeds=tests/fuzz/seeds
shared=$root/tests/data/real
xmlconf_zip=tests/data/xmlconf/xmlts20130923.zip
xmlconf=build/fuzz-xmlconf

# The longest input of each target. The differential target takes whole real
# documents (the largest is about 700 KB) as seeds.
max_len_of() {
  case "$1" in
    fuzz_scanner_differential) echo $((2 * 1024 * 1024)) ;;
    *) echo 65536 ;;
  esac
}

# The seed folders and shared sample folders of each target.
seed_dirs() {
  case "$1" in
    fuzz_parse_v4) echo "v4" ;;
    fuzz_parse_pap) echo "pap" ;;
    fuzz_parse_st32) echo "st32" ;;
    fuzz_parse_sequence) echo "sequence" ;;
    fuzz_parse_aps) echo "aps" ;;
    fuzz_template) echo "template" ;;
    fuzz_scanner_differential) echo "v4 pap st32 sequence detect" ;;
    *) echo "v4 pap st32 sequence aps detect" ;;
  esac
}
shared_dirs() {
  case "$1" in
    fuzz_parse_v4) echo "v4-grant v4-app bulk" ;;
    fuzz_parse_pap) echo "pap" ;;
    fuzz_parse_st32) echo "st32 bulk" ;;
    fuzz_parse_sequence) echo "seqcwu" ;;
    fuzz_parse_aps) echo "aps" ;;
    fuzz_template) echo "" ;;
    fuzz_scanner_differential) echo "v4-grant v4-app pap st32 seqcwu bulk" ;;
    *) echo "v4-grant v4-app pap st32 seqcwu aps bulk" ;;
  esac
}
dictionary() {
  case "$1" in
    fuzz_parse_aps) echo "$seeds/aps.dict" ;;
    fuzz_template) echo "$seeds/template.dict" ;;
    *) echo "$seeds/xml.dict" ;;
  esac
}

# Copies one sample into the corpus when it fits the length limit; bulk files
# are split into their documents first.
add_shared_sample() {
  local file=$1 corpus=$2 max_len=$3 folder
  folder=$(basename "$(dirname "$file")")
  if [ "$folder" = bulk ]; then
    local parts
    parts=$(mktemp -d)
    (cd "$parts" && csplit -s -z -f "$(basename "$file")-" "$file" '/^<?xml/' '{*}')
    for part in "$parts"/*; do
      [ "$(stat -c %s "$part")" -le $max_len ] && cat "$part" >"$corpus/shared-$(basename "$part")"
    done
    rm -rf "$parts"
  elif [ "$(stat -c %s "$file")" -le $max_len ]; then
    cat "$file" >"$corpus/shared-$(basename "$file")"
  fi
  return 0
}

prepare_corpus() {
  local target=$1 corpus=build/fuzz-corpus/$1 dir file
  mkdir -p "$corpus"
  for dir in $(seed_dirs "$target"); do
    for file in "$seeds/$dir"/*; do cat "$file" >"$corpus/seed-$dir-$(basename "$file")"; done
  done
  if [ -d "$shared" ]; then
    for dir in $(shared_dirs "$target"); do
      [ -d "$shared/$dir" ] || continue
      for file in "$shared/$dir"/*; do add_shared_sample "$file" "$corpus" "$(max_len_of "$target")"; done
    done
  fi
  if [ "$target" = fuzz_scanner_differential ]; then
    # Every file of the W3C XML conformance suite, unpacked once from the
    # repository's zip; the zip itself stays untouched.
    if [ ! -f "$xmlconf.extracted" ] || [ "$xmlconf_zip" -nt "$xmlconf.extracted" ]; then
      rm -rf "$xmlconf"
      mkdir -p "$xmlconf"
      (cd "$xmlconf" && cmake -E tar xf "$root/$xmlconf_zip")
      touch "$xmlconf.extracted"
    fi
    while IFS= read -r -d '' file; do
      local name=${file#"$xmlconf"/}
      cat "$file" >"$corpus/xmlconf-${name//\//-}"
    done < <(find "$xmlconf" -type f -print0)
  fi
  if [ "$target" = fuzz_markdown ]; then
    # Document, NUL, template: the target renders the document with that template.
    local n=0 template document
    for template in "$seeds"/template/*; do
      for document in "$seeds"/v4/features-grant.xml "$seeds"/aps/glove.txt "$seeds"/pap/pap-v16.xml; do
        n=$((n + 1))
        { cat "$document"; printf '\0'; cat "$template"; } >"$corpus/seed-with-template-$n"
      done
    done
  fi
}

# --- runs --------------------------------------------------------------------
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
summary=()
failed=0
for target in "${targets[@]}"; do
  prepare_corpus "$target"
  findings=build/fuzz-findings/$target
  mkdir -p "$findings"
  before=$(find "$findings" -type f ! -name 'slow-unit-*' | wc -l)
  dict=()
  [ -n "$(dictionary "$target")" ] && dict=(-dict="$(dictionary "$target")")
  log=build/fuzz-findings/$target.log
  echo "== $target (${limit[*]})" >&2
  status=0
  "$build/$target" "${limit[@]}" "${dict[@]}" -max_len="$(max_len_of "$target")" -timeout=10 -rss_limit_mb=2560 \
    -print_final_stats=1 -artifact_prefix="$findings/" "build/fuzz-corpus/$target" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  elapsed=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
  after=$(find "$findings" -type f ! -name 'slow-unit-*' | wc -l)
  new_findings=$((after - before))
  if [ "$status" -ne 0 ] && [ "$new_findings" -eq 0 ]; then new_findings=1; fi
  corpus_size=$(find "build/fuzz-corpus/$target" -type f | wc -l)
  summary+=("$(printf '%-22s %12s executions %6s s %8s corpus files %4s findings' "$target" \
    "${executions:-?}" "${elapsed:-?}" "$corpus_size" "$new_findings")")
  if [ "$new_findings" -ne 0 ]; then
    failed=1
    echo "!! $target: finding (exit $status); log $log, inputs in $findings/" >&2
    grep -E -m 20 'ERROR: |SUMMARY: |runtime error|#[0-9]+ 0x' "$log" >&2 || tail -n 30 "$log" >&2
  fi
done

echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
exit $failed
