#!/usr/bin/env bash
# The worker's side of the worker commands, driven over TCP with the command-line client:
# nothing but refusals before init_worker, then strategies, the data block and the
# refusal of requests that do not fit the worker's tree.
source "$(dirname "$0")/net_lib.bash"
SPOT_TOOL=$(dirname "$QUILLANE")/quillane-spot
start_server

# Not a worker yet: get_worker_strategy writes nothing at all.
[ -z "$(client --cmd 'get_worker_strategy 0 -1 -1 0')" ] || fail "strategy before init_worker"
[ "$(client --cmd 'traverse_subgames 1 1')" = "ERROR: traverse_subgames not a worker" ] ||
    fail "traverse before init_worker"
[ "$(client --cmd 'get_worker_data' -o none.bin)" = "get_worker_data ok!" ] || fail "data"
[ ! -s none.bin ] || fail "get_worker_data returned a block before init_worker"

# init_worker's checks: a count and numbers; any index and weights are taken (a worker
# outside the list or of weight 0 is given no subgames).
[ "$(client --cmd 'init_worker 0')" = "ERROR: init_worker incorrect or missing argument" ] ||
    fail "init_worker with no weight"
[ "$(client --cmd 'init_worker 0 1 x')" = "ERROR: Invalid value" ] || fail "init_worker weight"
[ "$(client --cmd 'traverse_subgames 1 1')" = "ERROR: traverse_subgames not a worker" ] ||
    fail "a refused init_worker made a worker"
[ "$(client --cmd 'init_worker 2 1 1')" = "init_worker ok!" ] || fail "init_worker past the list"
[ "$(client --cmd 'init_worker 0 0 10001')" = "init_worker ok!" ] || fail "init_worker weights"
[ "$(client --cmd 'init_worker 1 1 2')" = "init_worker ok!" ] || fail "init_worker"

# A tree, then a strategy of its root: 1326 numbers, uniform before any iteration.
cat >small.json <<'JSON'
{"name": "w", "board": "Qs Jh 2h", "streets": "flop", "pot": 55, "eff_stack": 200,
 "oop_range": "99-JJ,AQs", "ip_range": "TT+,AKs",
 "bets": {"flop": {"bet": [0.5], "raise": []}, "turn": {"bet": [0.66], "raise": []},
          "river": {"bet": [0.75], "raise": []}},
 "allin": false, "allin_threshold": 0.67, "max_bets": 1, "donk": false, "targets_pct_pot": [1.0]}
JSON
"$SPOT_TOOL" small.json -o small.txt || fail "quillane-spot"
client <small.txt >setup.out
grep -qx 'build_tree ok!' setup.out || fail "build: $(grep ERROR setup.out)"
# A worker does not start a run of its own.
[ "$(client --cmd 'go 5 steps')" = "go ok!" ] || fail "go on a worker"
client --cmd 'get_worker_strategy 0 -1 -1 1' >strategy.txt
[ "$(wc -l <strategy.txt)" = 1 ] || fail "strategy lines: $(wc -l <strategy.txt)"
[ "$(tr ' ' '\n' <strategy.txt | wc -l)" = 1326 ] || fail "strategy numbers"
[ "$(tr ' ' '\n' <strategy.txt | sort -u | tr '\n' ' ')" = "0 0.5 " ] ||
    fail "root strategy of a fresh tree: $(tr ' ' '\n' <strategy.txt | sort -u | head)"
[ "$(client --cmd 'get_worker_strategy 0 -1 -1 2')" = "ERROR: get_worker_strategy invalid runout or action" ] ||
    fail "an action past the node's"
[ "$(client --cmd 'get_worker_strategy 999999 -1 -1 0')" = "ERROR: get_worker_strategy invalid node" ] ||
    fail "a node past the tree"

# The data block: the counters and the worker's stores, beginning "QWDT".
[ "$(client --cmd 'get_worker_data' -o data.bin)" = "get_worker_data ok!" ] || fail "data"
[ "$(head -c 4 data.bin)" = "QWDT" ] || fail "data block: $(head -c 16 data.bin | od -c)"
[ "$(od -An -tu4 -j8 -N4 data.bin | tr -d ' ')" = 1 ] || fail "the data block names another worker"
[ "$(stat -c %s data.bin)" -gt 1000 ] || fail "no stores in the data block"

# A request that is no request, and one cut short, are refused; the worker goes on.
head -c 300 /dev/urandom >garbage.bin
[ "$(client --block garbage.bin --cmd 'traverse_subgames 1 1')" = \
  "ERROR: traverse_subgames bad subgame request" ] || fail "garbage request"
[ "$(client --cmd 'traverse_subgames 2 1')" = "ERROR: traverse_subgames incorrect or missing argument" ] ||
    fail "traverser 2"
[ "$(client --cmd is_ready)" = "is_ready ok!" ] || fail "the worker stopped answering"
grep -q '^> traverse_subgames\|^> ping' server.log && fail "quiet commands were traced"
echo ok
