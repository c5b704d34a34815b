# A client's is_ready gets one type-1 message holding the confirmation line, newline
# included; the console shows the listening address, the client, the trace and the
# disconnect; with --exit the program ends with code 0 once the client has left.
source "$(dirname "$0")/net_lib.bash"
start_server --exit
open_raw
raw_send "$(text_message is_ready)"
timeout 10 head -c 22 <&3 >reply.bin
close_raw
printf '\x01\x0d\x00\x00\x00\x00\x00\x00\x00is_ready ok!\n' | cmp - reply.bin ||
    fail "reply bytes differ: $(od -An -c reply.bin)"
wait_for_server_exit
[ "$SERVER_EXIT" = 0 ] || fail "server did not end with code 0 after the client left"
without_banner <server.log | sed -E 's/^127\.0\.0\.1:[0-9]+ connected$/CLIENT connected/' >log.txt
printf 'Listening to 0.0.0.0:%s\nCLIENT connected\n> is_ready\n< is_ready ok!\nclient disconnected\n' \
    "$PORT" | diff -u - log.txt || fail "server console differs"
exit 0
