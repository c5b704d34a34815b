# Faulty clients: a connection that ends inside the header, the length or the payload; a
# header announcing a 2^63-byte text; garbage; a client that connects and sends nothing;
# a second client while the first is connected. The server survives each, reports the
# disconnect, hangs up on what it refuses and serves the next client with its state.
source "$(dirname "$0")/net_lib.bash"
start_server
[ "$(client -c 'set_value kept yes')" = "set_value ok!" ] || fail "first client"

disconnects() { log_count 'client disconnected'; }
expect_disconnect() {
    local want=$1 i
    for i in $(seq 1 200); do
        [ "$(disconnects)" -ge "$want" ] && return 0
        sleep 0.05
    done
    fail "$2: no disconnect reported"
}
check_served() {
    server_alive || fail "$1: server ended"
    [ "$(client -c 'get_value kept')" = "kept yes" ] || fail "$1: next client not served with its state"
}

seen=$(disconnects)
for fault in mid_header mid_length mid_payload; do
    open_raw
    case $fault in
        mid_header) raw_send '\x01\x05\x00' ;;
        mid_length) raw_send '\x04\x10\x00\x00' ;;
        mid_payload) raw_send "\\x01$(le_bytes 100 8)is_ready" ;;
    esac
    close_raw
    expect_disconnect $((seen + 1)) "$fault"
    check_served "$fault"
    seen=$(disconnects)
done

open_raw
raw_send "\\x01$(le_bytes 0 7)\\x80"
timeout 10 cat <&3 >/dev/null || fail "server did not hang up on a 2^63-byte announcement"
close_raw
expect_disconnect $((seen + 1)) "2^63-byte text"
check_served "2^63-byte text"
seen=$(disconnects)

RANDOM=20261206
garbage=""
for ((i = 0; i < 4096; i++)); do garbage+=$(printf '\\x%02x' $((RANDOM % 256))); done
open_raw
raw_send "$garbage"
timeout 10 cat <&3 >/dev/null
close_raw
expect_disconnect $((seen + 1)) "garbage"
check_served "garbage"
seen=$(disconnects)

# The first client holds the server; a second one waits in the backlog and, once the
# first has left, sees what the first set last.
open_raw
raw_send "$(text_message 'set_value who first')"
[ "$(read_raw_reply 14)" = "set_value ok!" ] || fail "raw client not served"
client -c 'get_value who' >second.txt 3>&- &
second=$!
sleep 0.5
raw_send "$(text_message 'set_value who second')"
[ "$(read_raw_reply 14)" = "set_value ok!" ] || fail "raw client not served again"
close_raw
wait $second || fail "waiting client failed"
[ "$(cat second.txt)" = "who second" ] || fail "second client was served before the first left"

# A client that connects and never sends holds the server until it leaves.
open_raw
client -c 'get_value kept' >after_silent.txt 3>&- &
waiting=$!
sleep 0.5
kill -0 $waiting 2>/dev/null || fail "client served while a silent client held the server"
close_raw
wait $waiting || fail "client after the silent one failed"
[ "$(cat after_silent.txt)" = "kept yes" ] || fail "client after the silent one"
server_alive || fail "server ended"
exit 0
