# Edge cases of the server loop: an empty text is read as the end of a session (with
# --exit the program ends although the client is still connected; without it the same
# client goes on), a newline belongs to the command word, ping and traverse_subgames are
# not traced, and --color shows the trace in its colour. A command that ends the process
# (exit inside a script, an error under --terminateonerror) still sends the output it
# produced before the end.
source "$(dirname "$0")/net_lib.bash"

start_server --color
open_raw
raw_send "$(text_message '')"
raw_send "$(text_message is_ready)"
[ "$(read_raw_reply 13)" = "is_ready ok!" ] || fail "the client must go on after an empty text"
close_raw
[ "$(client -c $'is_ready\n')" = $'ERROR: Command is_ready\n not recognized' ] ||
    fail "newline inside the command word"
client -c ping -c 'traverse_subgames 1 2' -c 'echo after quiet' >/dev/null
grep -q 'ping\|traverse_subgames' server.log && fail "quiet commands were traced"
esc=$'\x1b'
grep -q "${esc}\[33m> echo after quiet\$" server.log || fail "trace not in colour 6"
grep -q "${esc}\[33m< after quiet\$" server.log || fail "reply trace not in colour 6"
stop_server

start_server --exit
open_raw
raw_send "$(text_message is_ready)"
read_raw_reply 13 >/dev/null
raw_send "$(text_message '')"
wait_for_server_exit
[ "$SERVER_EXIT" = 0 ] || fail "empty text with --exit must end the program with 0"
close_raw

printf 'echo before exit\nexit 3\necho never\n' >ends.txt
start_server
client -c 'load_script ends.txt' -c is_ready >reply.txt
[ $? = 2 ] || fail "the client must see the connection end after exit"
[ "$(cat reply.txt)" = "before exit" ] || fail "output before exit not sent: '$(cat reply.txt)'"
wait_for_server_exit
[ "$SERVER_EXIT" = 3 ] || fail "exit 3 in a script must end the server with 3, got $SERVER_EXIT"

start_server --terminateonerror
client -c 'is_ready' -c 'bogus' -c 'is_ready' >reply.txt
[ "$(cat reply.txt)" = $'is_ready ok!\nERROR: Command bogus not recognized' ] ||
    fail "error reply not sent before terminating: '$(cat reply.txt)'"
wait_for_server_exit
[ "$SERVER_EXIT" = 1 ] || fail "--terminateonerror must end the server with 1, got $SERVER_EXIT"
exit 0
