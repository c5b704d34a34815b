#!/usr/bin/env bash
# Workers that fail during a run: one killed after a few iterations, one that answers
# subgame requests with bytes that mean nothing. The run finishes, every figure and
# strategy equals the solve without workers, and the master names each lost worker once.
source "$(dirname "$0")/workers_lib.bash"
make_small_spot

{ cat small.txt; solve_queries 40; } | timeout 180 "$QUILLANE" >local.out 2>&1 ||
    fail "local solve: exit $?"

start_worker steady --exit
steady_port=$LAST_PORT
start_worker doomed --exit
doomed_port=$LAST_PORT doomed_pid=$LAST_PID
{ echo "connect_to_workers 127.0.0.1:$steady_port 1 127.0.0.1:$doomed_port 2"; cat small.txt
  solve_queries 40; } | timeout 180 "$QUILLANE" >master.out 2>&1 &
master_pid=$!
wait_for_line doomed.log '^\[3 iterations' || fail "the worker never finished an iteration"
kill -9 "$doomed_pid"
wait "$master_pid" || fail "master: exit $?"

grep -q '^\[40 iterations' doomed.log && fail "the run ended before the worker was killed"
lost="worker 1 (127.0.0.1:$doomed_port) lost: its subgames are solved by the master from now on"
[ "$(grep -cxF "$lost" master.out)" = 1 ] || fail "expected the loss line once: $(grep lost master.out)"
sed -n '/^SOLVER: started/,/^SOLVER: stopped/p' master.out | grep -qxF "$lost" ||
    fail "the loss was not noticed during the run"
grep -q ERROR master.out && fail "master: $(grep -m1 ERROR master.out)"
diff <(comparable local.out) <(comparable master.out | grep -vxF "$lost") >diff.txt ||
    fail "answers after the loss differ: $(head -c 600 diff.txt)"
grep -q '^\[40 iterations' steady.log || fail "the other worker stopped working"

# A worker whose replies make no sense is dropped at its first reply.
start_worker sound --exit
sound_port=$LAST_PORT
start_stand_in broken
broken_port=$LAST_PORT
{ echo "connect_to_workers 127.0.0.1:$sound_port 1 127.0.0.1:$broken_port 1"; cat small.txt
  solve_queries 40; } | timeout 180 "$QUILLANE" >garbage.out 2>&1 || fail "master: exit $?"
lost="worker 1 (127.0.0.1:$broken_port) lost: its subgames are solved by the master from now on"
[ "$(grep -cxF "$lost" garbage.out)" = 1 ] || fail "garbage: $(grep -c lost garbage.out) loss lines"
diff <(comparable local.out) <(comparable garbage.out | grep -vxF "$lost") >diff.txt ||
    fail "answers after a garbage reply differ: $(head -c 600 diff.txt)"
[ "$(grep -c '^traverse_subgames' broken.log)" = 1 ] || fail "the broken worker was asked again"
echo ok
