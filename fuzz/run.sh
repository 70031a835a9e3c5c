#!/bin/sh
# Runs one reader's harness for a time: its seeds and every input kept from earlier finds
# (tests/fuzz/READER) first, then new inputs. New corpus entries go to a folder of the run's own;
# an input that crashes, hangs or takes too much memory is kept in build-fuzz/findings/ and named.
# Usage: run.sh BUILD READER SECONDS [libFuzzer options...]
set -e
build=$1 reader=$2 seconds=$3
shift 3
top=$(cd "$(dirname "$0")/.." && pwd)
seeds="$top/tests/fuzz/$reader"
[ "$reader" = bsdl ] && seeds="$seeds $top/examples/bsdl"
[ "$reader" = netlist ] && seeds="$seeds $top/examples/board"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$build/findings"
# Each input has ten seconds and 1 GB; the whole run its time. -close_fd_mask keeps the readers'
# own words off the log.
# shellcheck disable=SC2086
"$build/fuzz_$reader" "$corpus" $seeds -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -malloc_limit_mb=1024 -artifact_prefix="$build/findings/$reader-" -print_final_stats=1 -close_fd_mask=1 "$@" 2>&1 |
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done|INFO: seed corpus)|ERROR|SUMMARY|Test unit written|^==" || true
# libFuzzer's status is lost in the pipe: a finding is a file left in findings/.
if ls "$build/findings/$reader-"* >/dev/null 2>&1; then
    echo "fuzz_$reader: an input was kept in $build/findings/:" >&2
    ls "$build/findings/$reader-"* >&2
    exit 1
fi
