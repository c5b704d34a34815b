# Helpers for the distributed-solving tests: worker processes and stand-in workers on
# 127.0.0.1 with free ports, a small flop spot, and bounded waits. Every process started
# here is stopped when the test ends.
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
SPOT_TOOL=$(dirname "$QUILLANE")/quillane-spot
STAND_IN="$SOURCE_DIR/tests/shell/stand_in_worker.py"
STARTED_PIDS=()
trap 'stop_started; rm -rf "$WORK"' EXIT

stop_started() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
}

# Waits up to twenty seconds for a line matching the pattern in the file.
wait_for_line() {
    local i
    for i in $(seq 1 400); do
        grep -qE "$2" "$1" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

# start_worker NAME [options]: the program in server mode on a free port, its console in
# NAME.log. Sets LAST_PORT and LAST_PID.
start_worker() {
    local name=$1 attempt
    shift
    for attempt in $(seq 1 30); do
        LAST_PORT=$((20000 + RANDOM % 40000))
        "$QUILLANE" --server --port "$LAST_PORT" "$@" >"$name.log" 2>&1 &
        LAST_PID=$!
        STARTED_PIDS+=("$LAST_PID")
        for i in $(seq 1 200); do
            grep -q "Listening to 0.0.0.0:$LAST_PORT\$" "$name.log" 2>/dev/null && return 0
            kill -0 "$LAST_PID" 2>/dev/null || break
            sleep 0.05
        done
        kill "$LAST_PID" 2>/dev/null
    done
    fail "no free port for worker $name"
}

# start_stand_in NAME [MASTER_OUTPUT]: a stand-in worker logging to NAME.log. Sets
# LAST_PORT.
start_stand_in() {
    local name=$1
    command -v python3 >/dev/null || { echo "python3 missing: skipped"; exit 77; }
    python3 "$STAND_IN" "$name.log" "$name.port" "${2:-}" &
    STARTED_PIDS+=("$!")
    wait_for_line "$name.port" '^[0-9]+$' || fail "stand-in $name did not start"
    LAST_PORT=$(cat "$name.port")
}

# A port nobody listens to (the system picked it and let it go).
closed_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# small.txt: the command script of a small flop spot (narrow ranges, one size a street).
make_small_spot() {
    cat >small.json <<'JSON'
{
  "name": "small_flop",
  "board": "Qs Jh 2h",
  "streets": "flop",
  "pot": 55,
  "eff_stack": 200,
  "oop_range": "99-JJ,AQs-AJs,KQs,QJs,JTs,T9s,AQo",
  "ip_range": "TT+,AKs,AQs,KQs,QJs,JTs,AKo",
  "bets": {"flop": {"bet": [0.5], "raise": []}, "turn": {"bet": [0.66], "raise": []},
           "river": {"bet": [0.75], "raise": []}},
  "allin": false,
  "allin_threshold": 0.67,
  "max_bets": 1,
  "donk": false,
  "targets_pct_pot": [1.0]
}
JSON
    "$SPOT_TOOL" small.json -o small.txt || fail "quillane-spot: exit $?"
}

# The answers compared between a local and a distributed solve: result figures,
# strategies on the flop, a turn and a river; run lines carry times and are left out.
solve_queries() {
    echo "go $1 steps block"
    echo calc_results
    echo "show_strategy r:0"
    echo "show_strategy r:0:b28"
    echo "show_strategy r:0:c:c:Ac"
    echo "show_strategy r:0:c:c:Ac:c:c:5d"
    echo "show_strategy r:0:b28:c:9d:b101"
}
comparable() { grep -v -e '^running time' -e '^connect_to_workers ok!$' "$1"; }
