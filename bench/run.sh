#!/usr/bin/env bash
# make bench: the benchmarks on the standard spots, each figure with the command behind it.
#   bench/run.sh [build dir]      QUILLANE_BENCH_SECONDS caps each solve (default 300)
set -u
build=${1:-build}
seconds=${QUILLANE_BENCH_SECONDS:-300}
spots=$(dirname "$0")/../examples

echo "== hand evaluator: $build/eval_bench"
"$build/eval_bench"
echo
echo "== solver kernels: $build/solver_kernels_bench 0.25"
"$build/solver_kernels_bench" 0.25
# Exploitability is checked every 5 iterations (every 10 on the flop, where a check takes
# seconds), so that the time to each target is read off within a few iterations; the
# checks themselves are not timed.
for spot in river_srp river_wide turn_srp flop_srp; do
    check=5
    [ "$spot" = flop_srp ] && check=10
    for threads in 1 2; do
        echo
        echo "== $spot, $threads thread(s): $build/solve_bench $spots/$spot.json $threads $seconds $check"
        "$build/solve_bench" "$spots/$spot.json" "$threads" "$seconds" "$check"
    done
done
echo
echo "== storage levels, flop_narrow: $build/storage_level_bench $spots/flop_narrow.json 2 $seconds 25"
"$build/storage_level_bench" "$spots/flop_narrow.json" 2 "$seconds" 25
echo
echo "== distributed, flop_srp, 0 to 2 local workers: $build/distributed_bench $spots/flop_srp.json 2 2 1"
"$build/distributed_bench" "$spots/flop_srp.json" 2 2 1
