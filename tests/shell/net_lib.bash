# Helpers for the server-mode tests. Everything talks to 127.0.0.1 only, every wait is
# bounded, and the server started here is stopped when the test ends.
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
CLIENT=$(dirname "$QUILLANE")/quillane-client
[ -x "$CLIENT" ] || fail "quillane-client is not built next to $QUILLANE"

SERVER_PID=""
# A raw send into a connection the server has closed must fail, not end the test.
trap "" PIPE
trap 'stop_server; check_sanitizer_reports; rm -rf "$WORK"' EXIT

# Starts the program in server mode on a free port with the given extra options, its
# console going to server.log in the working directory. Sets PORT and SERVER_PID. A port
# somebody else took in the meantime makes the program end at once: try another one.
start_server() {
    local attempt
    for attempt in $(seq 1 30); do
        PORT=$((20000 + RANDOM % 40000))
        "$QUILLANE" --server --port "$PORT" "$@" >server.log 2>&1 &
        SERVER_PID=$!
        # With --color the line may begin with the banner's colour reset.
        if wait_for_log "Listening to 0.0.0.0:$PORT\$"; then
            return 0
        fi
        stop_server
    done
    fail "no free port found for the server"
}

# Waits up to ten seconds for a line matching the pattern in server.log while the
# server runs; returns 1 if the server ends or the time runs out first.
wait_for_log() {
    local i
    for i in $(seq 1 200); do
        grep -qE "$1" server.log 2>/dev/null && return 0
        [ -n "$SERVER_PID" ] && ! kill -0 "$SERVER_PID" 2>/dev/null && return 1
        sleep 0.05
    done
    return 1
}

# Waits up to ten seconds for the server to end by itself and sets SERVER_EXIT to its
# exit code, or to "running". Must run in the test's own shell (not in $(...)), which
# is the only one that can collect the server's exit code.
wait_for_server_exit() {
    local i
    SERVER_EXIT=running
    for i in $(seq 1 200); do
        if ! kill -0 "$SERVER_PID" 2>/dev/null; then
            wait "$SERVER_PID"
            SERVER_EXIT=$?
            SERVER_PID=""
            return 0
        fi
        sleep 0.05
    done
}

stop_server() {
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null
        wait "$SERVER_PID" 2>/dev/null
        SERVER_PID=""
    fi
}

# A sanitizer build writes its reports to the server's console: any report fails the test.
check_sanitizer_reports() {
    if grep -qE 'runtime error:|Sanitizer' "$WORK/server.log" 2>/dev/null; then
        echo "FAIL: sanitizer report in the server's output"
        cat "$WORK/server.log"
        exit 1
    fi
}

server_alive() { kill -0 "$SERVER_PID" 2>/dev/null; }

# The client with a time bound; the arguments follow the server address. It must not
# inherit a raw connection (fd 3), or closing that connection would not end it: run it
# in the background as 'client ... 3>&- &' so that the subshell closes it too.
client() { timeout 20 "$CLIENT" "127.0.0.1:$PORT" "$@" 3>&-; }

# Number of lines of server.log that match the pattern exactly.
log_count() { grep -cxE "$1" server.log; }

# Raw bytes to the server over a connection of bash's own (fd 3): open_raw, send bytes
# with raw_send (printf format), close_raw. For broken and hand-made messages.
open_raw() { exec 3<>"/dev/tcp/127.0.0.1/$PORT" || fail "cannot connect to port $PORT"; }
raw_send() { printf "$@" >&3; }
close_raw() { exec 3>&- 3<&-; }

# printf escapes for an unsigned little-endian integer of the given byte count.
le_bytes() {
    local value=$1 count=$2 i out=""
    for ((i = 0; i < count; i++)); do
        out+=$(printf '\\x%02x' $((value & 255)))
        value=$((value >> 8))
    done
    printf '%s' "$out"
}

# A type-1 message carrying the text, as printf escapes.
text_message() { printf '\\x01%s%s' "$(le_bytes ${#1} 8)" "$1"; }

# Reads one reply of a known text length from fd 3 and prints its text.
read_raw_reply() { timeout 10 head -c $((9 + $1)) <&3 | tail -c "$1"; }
