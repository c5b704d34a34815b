#!/usr/bin/env bash
# A flop spot solved by a master with two local workers of weights 1 and 2 (40
# iterations: the master copies the workers' stores during the run and before its
# queries) answers exactly as the same solve without workers: result figures, strategies
# on every street and the tree file. Each worker solved subgames in every iteration, the
# one of weight 2 more than the other; the workers received the master's set-up lines but
# not its queries, and end when the master leaves (--exit).
source "$(dirname "$0")/workers_lib.bash"
make_small_spot

start_worker light --exit --verbose
light_port=$LAST_PORT light_pid=$LAST_PID
start_worker heavy --exit --verbose
heavy_port=$LAST_PORT heavy_pid=$LAST_PID

{ cat small.txt; solve_queries 40; echo "dump_tree local.tree"; } |
    timeout 120 "$QUILLANE" >local.out 2>&1 ||
    fail "local solve: exit $?"
{ echo "connect_to_workers 127.0.0.1:$light_port 1 127.0.0.1:$heavy_port 2"; cat small.txt
  solve_queries 40; echo "dump_tree master.tree"; } |
    timeout 120 "$QUILLANE" >master.out 2>&1 || fail "master: exit $?"

grep -q '^connect_to_workers ok!$' master.out || fail "connect: $(grep -m1 ERROR master.out)"
grep -q ERROR master.out && fail "master: $(grep -m1 ERROR master.out)"
[ "$(grep -c "^EV OOP" master.out)" -ge 1 ] || fail "missing result figures"
[ "$(grep -c "^END$" master.out)" -ge 6 ] || fail "missing answers"
diff <(comparable local.out) <(comparable master.out) >diff.txt ||
    fail "distributed answers differ: $(head -c 600 diff.txt)"
# The master holds the whole solution: its tree file is the local solve's, byte for byte.
cmp -s local.tree master.tree || fail "the master's tree file differs from the local one"

# Both workers end with the master's connection, having printed a line per iteration (and,
# with --verbose, the subgames they solved).
for pid in $light_pid $heavy_pid; do
    for i in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$pid" 2>/dev/null && fail "a worker started with --exit is still running"
done
for name in light heavy; do
    grep -qE '^\[40 iterations \| cpu time [0-9.]+s \| peak working set [0-9]+ MB \| efficiency [0-9.]+%\]$' \
        "$name.log" || fail "$name: no iteration line: $(tail -3 "$name.log")"
done
last_count() { grep -E "^\[worker $1: " "$2.log" | tail -1 | sed -E 's/^\[worker [0-9]+: ([0-9]+) subgames.*/\1/'; }
light=$(last_count 0 light)
heavy=$(last_count 1 heavy)
[ -n "$light" ] && [ -n "$heavy" ] || fail "no subgame counts in the worker logs"
[ "$light" -gt 0 ] && [ "$heavy" -gt "$light" ] ||
    fail "shares do not follow the weights: $light (weight 1) and $heavy (weight 2)"
[ "$(grep -c "^\[worker 0: " light.log)" = 40 ] || fail "worker 0 missed iterations"

# The workers hold the master's set-up but saw none of its local-only lines.
for name in light heavy; do
    grep -qx '> set_board Qs Jh 2h' "$name.log" || fail "$name did not get set_board"
    grep -qx '> build_tree' "$name.log" || fail "$name did not get build_tree"
    grep -qE '^> (show_strategy|calc_results|connect_to_workers)' "$name.log" &&
        fail "$name got a local-only line"
done
grep -qx '> init_worker 0 1.000000 2.000000' light.log || fail "light: no init_worker"
grep -qx '> init_worker 1 1.000000 2.000000' heavy.log || fail "heavy: no init_worker"
echo ok
