# 1,000 short connect, command, disconnect cycles in a row: every one is answered, the
# state carries across all of them and the server keeps running.
source "$(dirname "$0")/net_lib.bash"
start_server
for ((i = 1; i <= 1000; i++)); do
    reply=$(client -c "set_value n $i") || fail "cycle $i: client failed"
    [ "$reply" = "set_value ok!" ] || fail "cycle $i: reply '$reply'"
done
[ "$(client -c 'get_value n')" = "n 1000" ] || fail "state lost across clients"
# The server logs a disconnect after the client has its reply: give the last one time.
for ((wait = 0; wait < 50; wait++)); do
    [ "$(log_count 'client disconnected')" = 1001 ] && break
    sleep 0.1
done
[ "$(log_count 'client disconnected')" = 1001 ] || fail "disconnects counted: $(log_count 'client disconnected')"
server_alive || fail "server ended"
exit 0
