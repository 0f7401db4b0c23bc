#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang; address and undefined-behaviour
# sanitizers) into build/fuzz and runs each for SECONDS (default 60) over a
# copy of its seed corpus, so the corpus in the repository stays as it is.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]    e.g. scripts/fuzz.sh 300 decrypt
#
# Every fuzz/NAME_fuzz.cpp is a harness; its seeds are fuzz/corpus/NAME/ and
# fuzz/NAME.dict, if present, is its dictionary. Prints the executions and
# findings of each harness; a finding (crash, leak, time-out, out of
# memory) is kept under build/fuzz/findings/NAME/ and fails the script.
# Extra libFuzzer flags go in BORVANE_FUZZ_FLAGS (e.g. "-jobs=2").
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
build=build/fuzz

cmake -S . -B "$build" -G Ninja -DBORVANE_FUZZ=ON -DBORVANE_WERROR=ON \
      -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

work=$(mktemp -d "${TMPDIR:-/tmp}/borvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
if (($#)); then
  names=("$@")
else
  names=()
  for source in fuzz/*_fuzz.cpp; do
    harness=$(basename "$source" .cpp)
    names+=("${harness%_fuzz}")
  done
fi

status=0
for name in "${names[@]}"; do
  program="$build/fuzz/${name}_fuzz"
  [ -x "$program" ] || { echo "fuzz: no harness $name" >&2; status=1; continue; }
  corpus="$work/corpus/$name"
  findings="$build/findings/$name"
  log="$work/$name.log"
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && cp -R "fuzz/corpus/$name/." "$corpus/"
  rm -rf "$findings" && mkdir -p "$findings"
  flags=(-max_total_time="$seconds" -print_final_stats=1 -timeout=30 -rss_limit_mb=2048
         -artifact_prefix="$findings/")
  [ -f "fuzz/$name.dict" ] && flags+=(-dict="fuzz/$name.dict")
  # shellcheck disable=SC2206  # extra flags are words by intent
  flags+=(${BORVANE_FUZZ_FLAGS:-})

  rc=0
  "$program" "${flags[@]}" "$corpus" >"$log" 2>&1 || rc=$?
  executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{s += $2} END {print s + 0}' || true)
  if [ "$executions" -eq 0 ]; then  # fork mode reports "#N: cov: ..."
    executions=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#' || true)
  fi
  count=$(find "$findings" -type f | wc -l)
  printf 'fuzz: %-16s %12s executions in %ss, %d findings\n' "$name" "${executions:-0}" "$seconds" "$count"
  if [ "$rc" -ne 0 ] || [ "$count" -ne 0 ]; then
    status=1
    grep -E '_fuzz: |ERROR: |SUMMARY: |runtime error' "$log" | head -20 >&2 || tail -20 "$log" >&2
    find "$findings" -type f -printf '  finding: %p\n' >&2
  fi
done
exit "$status"
