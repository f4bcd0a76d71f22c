#!/usr/bin/env bash
# Builds every libFuzzer harness with clang and runs each for FUZZ_SECONDS
# (60 unless told) over its corpus in tests/fuzz/corpus/<name>. New inputs go
# to a scratch directory, so the tree is not changed; a crash fails the run and
# leaves its input in build-fuzz/crashes/ to be added to the corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
# shellcheck disable=SC2086
ensure_packages $FUZZ_PACKAGES

build=build-fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --parallel "$(nproc)"
mkdir -p "$build/crashes"
seconds=${FUZZ_SECONDS:-60}
status=0
passed=0
failed=0
for corpus in tests/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    scratch=$(mktemp -d)
    echo "== fuzzing $name for ${seconds} s =="
    # Parsers of datagrams must stay small whatever a peer sends. The sanitizer
    # keeps freed memory aside (256 MB by default), which would count against
    # the limit: it is kept small here, so the limit measures the parser.
    limits="-rss_limit_mb=2048"
    quarantine=256
    case "$name" in
    wsd_reply | dns_codec | ssdp_answer | ssdp_description) limits="-rss_limit_mb=256 -malloc_limit_mb=64" quarantine=16 ;;
    esac
    # shellcheck disable=SC2086
    if ! ASAN_OPTIONS="quarantine_size_mb=$quarantine" \
        "$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=10 $limits \
        -print_final_stats=1 -artifact_prefix="$build/crashes/$name-" "$scratch" "$corpus" \
        2>"$build/$name.log"; then
        tail -n 40 "$build/$name.log" >&2
        echo "FAIL: $name found a crash; its input is in $build/crashes/" >&2
        status=1
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
        grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$build/$name.log" || true
    fi
    rm -rf "$scratch"
done
echo "fuzzing: $passed passed, $failed failed"
if [ "$failed" -gt 0 ]; then
    python3 scripts/ledger.py record fuzzers failed "$failed of $((passed + failed)) harnesses crashed"
elif [ "$passed" -gt 0 ]; then
    python3 scripts/ledger.py record fuzzers ran "$passed harnesses for $seconds s each"
else
    python3 scripts/ledger.py record fuzzers skipped "no harness ran"
fi
exit $status
