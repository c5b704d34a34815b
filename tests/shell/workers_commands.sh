#!/usr/bin/env bash
# The master's worker commands against stand-in workers: forwarding (console lines reach
# the workers before the master runs them, script lines too, local-only lines never),
# ping's table, the refusal of turn trees, and connect_to_workers' argument checks.
source "$(dirname "$0")/workers_lib.bash"
make_small_spot
ARG_ERROR="ERROR: connect_to_workers incorrect or missing argument"

# Forwarding, ping and the turn-tree refusal, with three stand-ins.
start_stand_in first master.out
ports=("$LAST_PORT")
start_stand_in second
ports+=("$LAST_PORT")
start_stand_in third
ports+=("$LAST_PORT")
printf 'set_pot 0 0 55\nshow_range OOP r\n' >setup_script.txt
{
    echo "connect_to_workers 127.0.0.1:${ports[0]} 1 127.0.0.1:${ports[1]} 2.5 127.0.0.1:${ports[2]} 1"
    echo "set_board Qs Jh 2h"
    echo "show_strategy r:0"
    echo "ping"
    echo "load_script setup_script.txt"
    sed 's/^set_board Qs Jh 2h$/set_board Qs Jh 2h 5c/' small.txt
} | timeout 60 "$QUILLANE" >master.out 2>&1 || fail "master: exit $?"

grep -qx 'connect_to_workers ok!' master.out || fail "connect: $(grep -m1 ERROR master.out)"
grep -qx 'init_worker 0 1.000000 2.500000 1.000000' first.log || fail "first: no init_worker"
grep -qx 'init_worker 2 1.000000 2.500000 1.000000' third.log || fail "third: no init_worker"
grep -qx 'set_board Qs Jh 2h' second.log || fail "set_board was not forwarded"
grep -qx 'master had confirmed: False False' first.log ||
    fail "set_board ran on the master before the worker answered: $(grep confirmed first.log)"
grep -q '^show_strategy\|^show_range\|^load_script\|^connect_to_workers' first.log &&
    fail "a local-only line was forwarded"
grep -qx 'set_pot 0 0 55' third.log || fail "a script line was not forwarded"
[ "$(grep -cx ping second.log)" = 10 ] || fail "ping sent $(grep -cx ping second.log) times"

sed -n '/^id /,/^END$/p' master.out >ping.txt
[ "$(head -1 ping.txt)" = "id   host                 port     time (avg of 10)" ] ||
    fail "ping header: $(head -1 ping.txt)"
[ "$(wc -l <ping.txt)" = 5 ] || fail "ping table: $(cat ping.txt)"
for w in 0 1 2; do
    sed -n "$((w + 2))p" ping.txt |
        grep -qE "^$w    127\.0\.0\.1            ${ports[$w]} +[0-9]+\.[0-9]ms\$" ||
        fail "ping row $w: $(sed -n "$((w + 2))p" ping.txt)"
done
grep -qx 'ERROR: build_tree only flop trees supported' master.out ||
    fail "turn tree with workers: $(grep build_tree master.out)"

# Argument checks; a failed connect keeps no worker; 10000 is the largest weight.
start_stand_in dropped
dropped=$LAST_PORT
start_stand_in kept
kept=$LAST_PORT
nobody=$(closed_port)
{
    echo "connect_to_workers 127.0.0.1:$kept"
    echo "connect_to_workers 127.0.0.1:$kept 1 127.0.0.1:$dropped"
    echo "connect_to_workers 127.0.0.1:$kept 0"
    echo "connect_to_workers 127.0.0.1:$kept 10001"
    echo "connect_to_workers 127.0.0.1:$kept -1"
    echo "connect_to_workers 127.0.0.1:65536 1"
    echo "connect_to_workers 127.0.0.1:$kept one"
    echo "connect_to_workers 127.0.0.1:$kept 1 127.0.0.1:$kept 2"
    echo "connect_to_workers 127.0.0.1:0 1"
    echo "connect_to_workers :$kept 1"
    echo "connect_to_workers 127.0.0.1:$dropped 1 127.0.0.1:$nobody 1"
    echo "ping"
    echo "set_pot 0 0 60"
    echo "connect_to_workers 127.0.0.1:$kept 10000"
    echo "set_pot 0 0 70"
} | timeout 60 "$QUILLANE" >args.out 2>&1 || fail "master: exit $?"
tail -n +2 args.out >got.txt
cat >expected.txt <<EXPECTED
$ARG_ERROR
$ARG_ERROR
$ARG_ERROR
$ARG_ERROR
$ARG_ERROR
$ARG_ERROR
ERROR: Invalid value
ERROR: connect_to_workers duplicate worker address
ERROR: connect_to_workers can't connect
ERROR: connect_to_workers can't connect
ERROR: connect_to_workers can't connect
ping ok!
set_pot ok!
connect_to_workers ok!
set_pot ok!
EXPECTED
diff expected.txt got.txt >diff.txt || fail "argument checks: $(cat diff.txt)"
grep -q 'set_pot\|init_worker' dropped.log && fail "a worker of a failed connect was kept"
[ "$(cat kept.log)" = "$(printf 'init_worker 0 10000.000000\nset_pot 0 0 70')" ] ||
    fail "kept worker got: $(cat kept.log)"

# Verbose: the address being tried is named before each connection; the first failure
# ends the attempt.
printf 'connect_to_workers 127.0.0.1:%s 1 127.0.0.1:%s 1\n' "$nobody" "$kept" |
    timeout 30 "$QUILLANE" --verbose 2>&1 | grep -e '^\[trying' -e '^ERROR' >verbose.out
printf '[trying to connect to 127.0.0.1:%s...]\nERROR: connect_to_workers can'"'"'t connect\n' \
    "$nobody" | diff - verbose.out >diff.txt || fail "verbose connect: $(cat diff.txt)"

# Without a colon the port is 5251: checked when that port is free to listen on.
if ! (exec 3<>/dev/tcp/127.0.0.1/5251) 2>/dev/null; then
    "$QUILLANE" --server --port 5251 --exit >default.log 2>&1 &
    STARTED_PIDS+=("$!")
    if wait_for_line default.log 'Listening to 0.0.0.0:5251$'; then
        echo "connect_to_workers 127.0.0.1 1" | timeout 30 "$QUILLANE" >default.out 2>&1
        grep -qx 'connect_to_workers ok!' default.out || fail "default port: $(cat default.out)"
        wait_for_line default.log '^> init_worker 0 1.000000$' || fail "no init_worker on 5251"
    fi
fi
echo ok
